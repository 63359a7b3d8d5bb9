#include "rtl/streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

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
  std::ios::openmode how = std::ios::binary;
  if (mode == fmCreate || (mode & 0xFF00) == fmCreate) {
    how |= std::ios::in | std::ios::out | std::ios::trunc;
  } else if ((mode & 0x3) == fmOpenWrite || (mode & 0x3) == fmOpenReadWrite) {
    how |= std::ios::in | std::ios::out;
  } else {
    how |= std::ios::in;
  }
  errno = 0;
  if (file_.open(file_name, how) == nullptr) {
    const char* reason = errno != 0 ? std::strerror(errno) : "The file cannot be opened";
    const char* what = (mode & 0xFF00) == fmCreate ? "create" : "open";
    throw EFOpenError(Format("Cannot %s file \"%s\". %s", what, file_name.c_str(), reason));
  }
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(file_.sgetn(static_cast<char*>(buffer), static_cast<std::streamsize>(count)));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(file_.sputn(static_cast<const char*>(buffer), static_cast<std::streamsize>(count)));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const std::ios::seekdir dir = origin == soBeginning ? std::ios::beg : origin == soCurrent ? std::ios::cur : std::ios::end;
  const auto at = file_.pubseekoff(offset, dir, std::ios::in | std::ios::out);
  return static_cast<int64_t>(static_cast<std::streamoff>(at));
}

void TFileStream::SetSize(int64_t size) {
  file_.pubsync();
  std::error_code ec;
  std::filesystem::resize_file(file_name_, static_cast<uintmax_t>(std::max<int64_t>(0, size)), ec);
  if (ec) throw EWriteError("Stream write error");
}

bool FileExists(const std::string& file_name) {
  std::error_code ec;
  return std::filesystem::is_regular_file(file_name, ec);
}

}  // namespace meridian::rtl
