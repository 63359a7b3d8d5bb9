// A temporary folder for one test, removed with everything in it when the
// test ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace meridian::testing {

class TScratchFolder {
 public:
  TScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "meridian-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;
  ~TScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }

  // The folder, without a trailing "/".
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // Creates (or replaces) the file `name` in the folder with `content`.
  std::string Write(const std::string& name, const std::string& content, bool executable = false) const {
    const std::string file = *this / name;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
    if (executable) {
      std::filesystem::permissions(file, std::filesystem::perms::owner_exec | std::filesystem::perms::group_exec,
                                   std::filesystem::perm_options::add);
    }
    return file;
  }

  // Creates the sub-folder `name` and returns its path.
  std::string Folder(const std::string& name) const {
    const std::string folder = *this / name;
    std::filesystem::create_directories(folder);
    return folder;
  }

 private:
  std::string path_;
};

// Changes the current folder for the life of the object.
class TCurrentFolderChange {
 public:
  explicit TCurrentFolderChange(const std::string& folder) : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  TCurrentFolderChange(const TCurrentFolderChange&) = delete;
  TCurrentFolderChange& operator=(const TCurrentFolderChange&) = delete;
  ~TCurrentFolderChange() {
    std::error_code ignored;
    std::filesystem::current_path(saved_, ignored);
  }

 private:
  std::filesystem::path saved_;
};

// Sets (or, given nullptr, removes) an environment variable for the life of
// the object.
class TEnvironmentChange {
 public:
  TEnvironmentChange(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) {
      had_ = true;
      saved_ = old;
    }
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  TEnvironmentChange(const TEnvironmentChange&) = delete;
  TEnvironmentChange& operator=(const TEnvironmentChange&) = delete;
  ~TEnvironmentChange() {
    if (had_) {
      setenv(name_.c_str(), saved_.c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  bool had_ = false;
  std::string saved_;
};

}  // namespace meridian::testing
