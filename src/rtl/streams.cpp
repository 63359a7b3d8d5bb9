#include "rtl/streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/file.h"
#include "rtl/exceptions.h"
#include "rtl/text.h"

namespace meridian::rtl {

int64_t TStream::Size() {
  const int64_t position = Seek(0, soCurrent);
  const int64_t size = Seek(0, soEnd);
  Seek(position, soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr int64_t kChunk = 64 * 1024;
  std::vector<char> chunk(static_cast<size_t>(std::min(count, kChunk)));
  int64_t left = count;
  while (left > 0) {
    const int64_t n = std::min(left, kChunk);
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    left -= n;
  }
  return count;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = Size();
  if (count <= 0 || position_ >= size) return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = position_ + count;
  if (end > Size()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == soCurrent) base = position_;
  if (origin == soEnd) base = Size();
  position_ = std::max<int64_t>(0, base + offset);
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(0, size)));
  position_ = std::min(position_, Size());
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

int64_t TNullStream::Write(const void*, int64_t count) {
  if (count <= 0) return 0;
  position_ += count;
  size_ = std::max(size_, position_);
  return count;
}

int64_t TNullStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? position_ : size_;
  position_ = std::max<int64_t>(0, base + offset);
  return position_;
}

void TNullStream::SetSize(int64_t size) {
  size_ = std::max<int64_t>(0, size);
  position_ = std::min(position_, size_);
}

TFileStream::TFileStream(const std::string& file_name, uint16_t mode) : file_name_(file_name) {
  const char* how = "rb";
  if (mode == fmCreate || (mode & 0xFF00) == fmCreate) {
    how = "w+b";
  } else if ((mode & 0x3) == fmOpenWrite || (mode & 0x3) == fmOpenReadWrite) {
    how = "r+b";
  }
  errno = 0;
  file_.reset(std::fopen(file_name.c_str(), how));
  if (file_ == nullptr) {
    const char* reason = errno != 0 ? std::strerror(errno) : "The file cannot be opened";
    const char* what = (mode & 0xFF00) == fmCreate ? "create" : "open";
    throw EFOpenError(Format("Cannot %s file \"%s\". %s", what, file_name.c_str(), reason));
  }
}

void TFileStream::Turn(TLastAccess next) {
  if (last_ != TLastAccess::none && last_ != next) platform::SeekFile(file_.get(), 0, SEEK_CUR);
  last_ = next;
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  Turn(TLastAccess::read);
  return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), file_.get()));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  Turn(TLastAccess::write);
  return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_.get()));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  last_ = TLastAccess::none;
  if (!platform::SeekFile(file_.get(), offset, whence)) return -1;
  return platform::FilePosition(file_.get());
}

void TFileStream::SetSize(int64_t size) {
  last_ = TLastAccess::none;
  if (std::fflush(file_.get()) != 0 || !platform::ResizeFile(file_.get(), std::max<int64_t>(0, size))) {
    throw EWriteError("Stream write error");
  }
}

bool ReadFileToString(const std::string& file_name, std::string& content) {
  content.clear();
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(file_name.c_str(), "rb"), &std::fclose);
  if (file == nullptr) return false;
  char block[16 * 1024];
  for (size_t n = 0; (n = std::fread(block, 1, sizeof block, file.get())) > 0;) content.append(block, n);
  return std::ferror(file.get()) == 0;
}

bool FileExists(const std::string& file_name) { return platform::IsRegularFile(file_name); }

}  // namespace meridian::rtl
