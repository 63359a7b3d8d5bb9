// Byte streams with a position and a size: the abstract TStream, an in-memory
// stream and a file stream. Bodies are bytes and are never converted.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace meridian::rtl {

enum TSeekOrigin : uint8_t { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  // Reads up to `count` bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to `count` bytes; returns how many were written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  virtual int64_t Size();
  virtual void SetSize(int64_t size) = 0;
  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }

  // Exactly `count` bytes or EReadError "Stream read error".
  void ReadBuffer(void* buffer, int64_t count);
  // Exactly `count` bytes or EWriteError "Stream write error".
  void WriteBuffer(const void* buffer, int64_t count);
  void WriteBuffer(std::string_view bytes) { WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size())); }

  // Copies `count` bytes from `source`'s position; a count of 0 copies the whole
  // of `source` from its start. Returns the number copied. Throws EReadError
  // when `source` ends early.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over a growable block of memory.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string_view bytes) : data_(bytes), position_(0) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;

  // The whole content, whatever the position.
  const std::string& DataString() const { return data_; }
  char* Memory() { return data_.data(); }
  void Clear();

 private:
  std::string data_;
  int64_t position_ = 0;
};

// A stream that keeps only a position and a size: what is written to it is
// dropped, and reading yields nothing. Takes bodies nobody wants at no memory
// cost.
class TNullStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return size_; }
  void SetSize(int64_t size) override;

 private:
  int64_t position_ = 0;
  int64_t size_ = 0;
};

// File modes: one of the open modes or fmCreate, optionally with a share mode.
// Share modes are requests to the platform; where it has no such locking
// (POSIX), others may always read and write.
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmShareExclusive = 0x0010;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyNone = 0x0040;
inline constexpr uint16_t fmCreate = 0xFF00;

class TFileStream : public TStream {
 public:
  // Throws EFOpenError 'Cannot open file "%s". %s' (or 'Cannot create file
  // "%s". %s' with fmCreate) with the system's reason.
  TFileStream(const std::string& file_name, uint16_t mode);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;

  const std::string& FileName() const { return file_name_; }

 private:
  enum class TLastAccess { none, read, write };
  // Between a read and a write the C library wants a seek.
  void Turn(TLastAccess next);

  std::string file_name_;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, &std::fclose};
  TLastAccess last_ = TLastAccess::none;
};

// The whole content of the file `file_name`, read to its end (a pipe or a
// device as well as a file); false when it cannot be opened or read.
bool ReadFileToString(const std::string& file_name, std::string& content);

// True when a file (not a folder) of that name exists.
bool FileExists(const std::string& file_name);

}  // namespace meridian::rtl
