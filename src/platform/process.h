// The process and the machine it runs on: what a front end or a scan asks of
// them beyond files (see env.h for those).
#pragma once

#include <cstdint>

namespace veskara {

// True when standard output / standard error is a terminal.
bool StdoutIsTerminal();
bool StderrIsTerminal();

// A write past a file-size limit (ulimit -f) then fails with EFBIG ("Disk
// full") instead of ending the process with SIGXFSZ.
void IgnoreFileSizeLimitSignal();

// The processors this process may run on (at least 1).
unsigned ProcessorCount();

// The machine's physical memory in bytes (0 when unknown).
uint64_t PhysicalMemoryBytes();

// This process's id, and whether the process `pid` is alive.
int64_t ProcessId();
bool ProcessIsAlive(int64_t pid);

}  // namespace veskara
