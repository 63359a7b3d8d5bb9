#include "platform/file.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace meridian::platform {

bool IsRegularFile(const std::string& name) {
  struct stat status {};
  return stat(name.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool ResizeFile(std::FILE* file, int64_t size) { return ftruncate(fileno(file), static_cast<off_t>(size)) == 0; }

bool SeekFile(std::FILE* file, int64_t offset, int whence) {
  return fseeko(file, static_cast<off_t>(offset), whence) == 0;
}

int64_t FilePosition(std::FILE* file) { return static_cast<int64_t>(ftello(file)); }

}  // namespace meridian::platform
