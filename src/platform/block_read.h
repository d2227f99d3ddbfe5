// Raw block reads, for readers that apply the line rules themselves over
// large buffers.
#pragma once

#include <cstddef>

#include "platform/text_file.h"

namespace veskara {

// Reads up to `size` bytes from the file's current position into `data`;
// returns how many were read, 0 only at the end of the file. Throws IoError.
size_t ReadBlock(const FileHandle& file, char* data, size_t size);

}  // namespace veskara
