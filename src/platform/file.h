// Files on the platform's file system, for the stream classes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace meridian::platform {

// True when `name` names a file (not a folder) that exists; a link counts as
// what it points to.
bool IsRegularFile(const std::string& name);

// Cuts or extends the open file `file` to `size` bytes; written data still
// buffered must have been flushed. False when the system refuses.
bool ResizeFile(std::FILE* file, int64_t size);

// Moves within the open file `file` like fseek, with 64-bit offsets
// everywhere; false when the system refuses.
bool SeekFile(std::FILE* file, int64_t offset, int whence);
// The position within the open file `file`, -1 when unknown.
int64_t FilePosition(std::FILE* file);

}  // namespace meridian::platform
