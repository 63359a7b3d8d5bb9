#include "platform/file.h"

#include <io.h>
#include <windows.h>

namespace meridian::platform {

bool IsRegularFile(const std::string& name) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool ResizeFile(std::FILE* file, int64_t size) { return _chsize_s(_fileno(file), size) == 0; }

bool SeekFile(std::FILE* file, int64_t offset, int whence) { return _fseeki64(file, offset, whence) == 0; }

int64_t FilePosition(std::FILE* file) { return _ftelli64(file); }

}  // namespace meridian::platform
