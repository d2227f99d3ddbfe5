// Writing files so that they survive a crash, over an Env: the few steps a
// commit of the base is made of beyond renames and folder syncs.
//
// Every failure is thrown as IoError.
#pragma once

#include <string>
#include <string_view>

#include "platform/env.h"

namespace veskara {

// Creates `path` (cut to length 0 when it exists) holding the bytes of
// `source` (nothing when `source` does not exist), then, when the copy does
// not end with LF, a CR LF, so that the next line appended to it starts a
// line of its own. A source holding a Ctrl-Z is copied as the lines a
// LineReader reads from it, each ended by CR LF, so that no Ctrl-Z ends the
// file before what is appended.
void CopyEndingLine(Env& env, const std::string& source, const std::string& path);

// Writes all of `bytes` to `path`, created or cut to length 0, and forces it
// to the disk.
void WriteFileSynced(Env& env, const std::string& path, std::string_view bytes);

// What ReadSmallFile found.
enum class SmallFile {
  kMissing,   // nothing at the path
  kRead,      // *bytes holds the whole file
  kTooLarge,  // a regular file larger than the limit; *bytes holds its start
  kNotAFile,  // a folder, FIFO, socket or device: never opened for reading
};

// Reads a file of at most `max_bytes` bytes whole into *bytes. Never blocks
// and never reads more than max_bytes + 1 bytes, whatever is at the path.
// Throws IoError when a regular file cannot be opened or read.
SmallFile ReadSmallFile(Env& env, const std::string& path, size_t max_bytes, std::string* bytes);

}  // namespace veskara
