// A stand-in for a program the launcher starts (the reader, "Restart.exe"):
// it appends one line to the file named as itself with ".log" added, holding
// its arguments and its current folder, "arguments|folder", and ends.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  char folder[MAX_PATH * 4] = {};
  GetCurrentDirectoryA(sizeof folder, folder);
  line += '|';
  line += folder;
  line += '\n';

  char self[MAX_PATH * 4] = {};
  const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  if (length == 0 || length >= sizeof self) return 1;
  const std::string log = std::string(self) + ".log";
  const HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
