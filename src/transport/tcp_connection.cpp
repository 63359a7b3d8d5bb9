#include "transport/tcp_connection.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "net/exceptions.h"
#include "rtl/code_page.h"
#include "rtl/text.h"
#include "transport/anti_freeze.h"
#include "transport/connection_intercept.h"
#include "transport/io_handler.h"
#include "transport/io_handler_socket.h"
#include "transport/net_stack.h"

namespace meridian::net {

namespace {

// Never pre-size a destination further than this ahead of the bytes actually
// received: a length announced by the peer is not to be trusted with memory.
constexpr int64_t kMaxReserveAhead = 64 * 1024 * 1024;

uint32_t ToNetworkOrder(uint32_t value) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                                  static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
  uint32_t out;
  std::memcpy(&out, bytes, 4);
  return out;
}

uint32_t FromNetworkOrder(uint32_t value) {
  unsigned char bytes[4];
  std::memcpy(bytes, &value, 4);
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

// Ends a work frame on every road out of a transfer.
class WorkFrame {
 public:
  WorkFrame(TNetComponent& component, TWorkMode mode, int64_t size) : component_(component), mode_(mode) {
    component_.BeginWork(mode_, size);
  }
  ~WorkFrame() { component_.EndWork(mode_); }
  WorkFrame(const WorkFrame&) = delete;
  WorkFrame& operator=(const WorkFrame&) = delete;

 private:
  TNetComponent& component_;
  TWorkMode mode_;
};

}  // namespace

TNetTCPConnection::TNetTCPConnection(rtl::TComponent* owner)
    : TNetComponent(owner),
      input_buffer_([this](TNetSimpleBuffer&, int64_t count) { DoWork(wmRead, count); }) {}

TNetTCPConnection::~TNetTCPConnection() {
  try {
    DisconnectSocket();
  } catch (...) {
    // A failing intercept must not stop the destruction.
  }
  DestroyOwnedIOHandler();
}

// ---- State ----

bool TNetTCPConnection::Connected() {
  // With no close to notice the check below would only ask the handler.
  if (!closed_gracefully_ && io_handler_ != nullptr) return io_handler_->Connected();
  CheckForDisconnect(false, false);
  return io_handler_ != nullptr && io_handler_->Connected();
}

void TNetTCPConnection::Disconnect() {
  DoStatus(hsDisconnecting);
  DisconnectSocket();
  DestroyOwnedIOHandler();
  DoOnDisconnected();
  DoStatus(hsDisconnected);
}

void TNetTCPConnection::DisconnectSocket() {
  if (io_handler_ == nullptr) return;
  closed_gracefully_ = true;
  if (intercept_ != nullptr) intercept_->Disconnect();
  io_handler_->Close();
}

void TNetTCPConnection::CheckForDisconnect(bool raise, bool ignore_buffer) {
  bool disconnected = false;
  if (closed_gracefully_ || io_handler_ == nullptr) {
    if (io_handler_ != nullptr) {
      // The first time a close is noticed the socket is closed and the close is
      // reported; afterwards the handler no longer reports itself connected.
      if (io_handler_->Connected()) {
        DisconnectSocket();
        DoStatus(hsDisconnected);
        DoOnDisconnected();
      }
      disconnected = true;
    }
  } else {
    disconnected = !io_handler_->Connected();
  }
  if (disconnected && raise && (input_buffer_.Size() == 0 || ignore_buffer)) throw ENetConnClosedGracefully();
}

void TNetTCPConnection::CheckForGracefulDisconnect(bool raise) { ReadFromStack(raise, 0, false); }

void TNetTCPConnection::SetDeadline(const TNetDeadline& deadline) {
  deadline_ = deadline;
  if (io_handler_ != nullptr) io_handler_->SetDeadline(deadline);
}

void TNetTCPConnection::DeadlineReached() {
  // The step was cut short: whatever is left of the exchange on the wire is
  // of no use, and a later step must not read it as the next answer.
  Disconnect();
  throw ENetReadTimeout();
}

void TNetTCPConnection::ResetConnection() {
  input_buffer_.Clear();
  closed_gracefully_ = false;
}

void TNetTCPConnection::DoOnDisconnected() {
  if (OnDisconnected) OnDisconnected(this);
}

// ---- Reading ----

int32_t TNetTCPConnection::ReadFromStack(bool raise, int32_t timeout, bool raise_on_timeout) {
  if (timeout == -1) timeout = read_timeout_ == 0 ? -2 : read_timeout_;
  int32_t result = 0;
  CheckForDisconnect(raise, false);
  if (!Connected()) {
    if (raise) throw ENetNotConnected();
    return 0;
  }
  int32_t n = 0;
  do {
    // Under a deadline each wait takes no longer than the time left.
    int32_t wait = timeout;
    bool cut = false;
    if (deadline_.IsSet()) {
      const int32_t left = deadline_.Left();
      if (left == 0) DeadlineReached();
      if (wait == -2 || wait >= left) {
        wait = left;
        cut = true;
      }
    }
    // A wait without a bound needs no readiness poll: the receive itself
    // blocks until data or the peer's close arrives. Only an anti-freeze,
    // which runs between bounded waits, needs the poll then.
    const bool poll = wait != -2 || TNetAntiFreezeBase::ShouldUse();
    if (poll && !io_handler_->Readable(wait)) {
      if (cut) DeadlineReached();
      if (raise_on_timeout) throw ENetReadTimeout();
      return -1;
    }
    int32_t appended = 0;
    if (io_handler_ != nullptr) {
      n = ReceiveBlock(appended);
    } else {
      n = 0;
      if (raise) throw ENetNotConnected();
    }
    closed_gracefully_ = (n == 0);
    if (n != 0 && GStack->CheckForSocketError(n, {kWSAESHUTDOWN, kWSAECONNABORTED})) {
      // The connection is gone, but bytes already buffered are still served.
      n = 0;
      if (io_handler_ != nullptr) DisconnectSocket();
      if (input_buffer_.Size() == 0) GStack->RaiseSocketError(GStack->LastError());
    }
    // What was received decides about a close above; what an intercept made
    // of it is what the caller gets (an emptied block reads on).
    if (n > 0) n = appended;
    CheckForDisconnect(raise, false);
    result = n;
  } while (n == 0 && Connected());
  return result;
}

int32_t TNetTCPConnection::ReceiveBlock(int32_t& appended) {
  int32_t size = std::max(recv_buffer_size_, 1);
  if (intercept_ == nullptr) {
    // Without an intercept the block is received straight into the input
    // buffer: the same bytes end up there without a copy through scratch space.
    // Bytes still waiting there shorten the block to the room that is left
    // rather than double the memory; only a full buffer grows.
    const int64_t room = input_buffer_.TailRoom();
    if (room > 0 && room < size) size = static_cast<int32_t>(room);
    char* tail = input_buffer_.ReserveTail(size);
    const int32_t n = io_handler_->Recv(tail, size);
    if (n <= 0) return n;
    if (ascii_filter_) {
      for (int32_t i = 0; i < n; ++i) tail[i] = static_cast<char>(tail[i] & 0x7F);
    }
    input_buffer_.CommitTail(n);
    appended = n;
    return n;
  }
  recv_buffer_.Clear();
  const int32_t n = io_handler_->Recv(recv_buffer_.ReserveTail(size), size);
  if (n <= 0) return n;
  recv_buffer_.CommitTail(n);
  recv_buffer_.SetPosition(0);
  intercept_->Receive(recv_buffer_);
  appended = static_cast<int32_t>(std::min<int64_t>(recv_buffer_.Size(), std::numeric_limits<int32_t>::max()));
  char* block = recv_buffer_.Memory();
  if (ascii_filter_) {
    for (int32_t i = 0; i < appended; ++i) block[i] = static_cast<char>(block[i] & 0x7F);
  }
  input_buffer_.Append(block, appended);
  return n;
}

int64_t TNetTCPConnection::FindTerminator(const std::string& terminator, int64_t from) {
  const std::string_view content(input_buffer_.Memory(), static_cast<size_t>(input_buffer_.Size()));
  const auto first = static_cast<unsigned char>(terminator[0]);
  if (first >= 0x40 && rtl::HasLeadBytes()) {
    // The terminator could be the second byte of a double-byte character: only
    // a scan from the start knows where characters begin.
    return static_cast<int64_t>(rtl::FirstOccurrence(terminator, content));
  }
  const size_t at = terminator.size() == 1 ? content.find(terminator[0], static_cast<size_t>(from))
                                           : content.find(terminator, static_cast<size_t>(from));
  return at == std::string_view::npos ? 0 : static_cast<int64_t>(at) + 1;
}

std::string TNetTCPConnection::LineTooLong(int32_t max_length) {
  if (max_line_action_ == maException) throw ENetReadLnMaxLineLengthExceeded();
  read_ln_split_ = true;
  return input_buffer_.Extract(max_length);
}

std::string TNetTCPConnection::ReadLn(const std::string& terminator_in, int32_t timeout, int32_t max_length) {
  if (max_length == -1) max_length = max_line_length_;
  static const std::string kLineFeed = "\n";
  const std::string& terminator = terminator_in.empty() ? kLineFeed : terminator_in;
  read_ln_split_ = false;
  read_ln_timed_out_ = false;
  const auto terminator_length = static_cast<int64_t>(terminator.size());
  int64_t search_from = 0;
  int64_t found = 0;
  do {
    const int64_t size = input_buffer_.Size();
    if (size > 0) {
      // Back up so that a terminator that arrived in two pieces is found.
      found = FindTerminator(terminator, std::max<int64_t>(0, search_from - (terminator_length - 1)));
      search_from = size;
    }
    if (max_length != 0 && found > 0 && found - 1 > max_length) return LineTooLong(max_length);
    if (found == 0) {
      if (max_length != 0 && search_from > max_length) return LineTooLong(max_length);
      CheckForDisconnect(true, true);
      if (ReadFromStack(true, timeout, timeout == -1) <= 0) {
        read_ln_timed_out_ = true;
        return std::string();
      }
    }
  } while (found == 0);
  // The line without its terminator, and without the CR of a CR LF when the
  // terminator is the bare LF.
  size_t length = static_cast<size_t>(found - 1);
  if (terminator == kLineFeed && length > 0 && input_buffer_.Memory()[length - 1] == '\r') --length;
  std::string line(input_buffer_.Memory(), length);
  input_buffer_.Remove(found - 1 + terminator_length);
  return line;
}

std::string TNetTCPConnection::ReadLnWait(int32_t fail_count) {
  for (int32_t attempts = 0; attempts < fail_count; ++attempts) {
    std::string line = rtl::Trim(ReadLn());
    if (!line.empty()) return line;
  }
  return std::string();
}

void TNetTCPConnection::ReadBuffer(void* buffer, int64_t count) {
  if (count <= 0 || buffer == nullptr) return;
  while (input_buffer_.Size() < count) {
    ReadFromStack();
    CheckForDisconnect(true, true);
  }
  std::memcpy(buffer, input_buffer_.Memory(), static_cast<size_t>(count));
  input_buffer_.Remove(count);
}

int32_t TNetTCPConnection::ReadInteger(bool convert) {
  uint32_t value = 0;
  ReadBuffer(&value, sizeof value);
  if (convert) value = FromNetworkOrder(value);
  return static_cast<int32_t>(value);
}

void TNetTCPConnection::ReadStream(rtl::TStream& stream, int64_t count, bool until_disconnect) {
  if (count == -1 && !until_disconnect) count = ReadInteger(true);
  // The destination is sized once for a known count, but never further ahead
  // of what has arrived than kMaxReserveAhead; beyond that it grows in steps.
  int64_t reserved_end = -1;
  auto reserve = [&](int64_t ahead) {
    const int64_t position = stream.Position();
    reserved_end = position + std::min(ahead, kMaxReserveAhead);
    stream.SetSize(reserved_end);
    stream.SetPosition(position);
  };
  if (count > -1) reserve(count);

  int64_t remaining = until_disconnect ? std::numeric_limits<int64_t>::max() : count;
  auto write = [&](const char* bytes, int64_t k) {
    if (!until_disconnect && reserved_end >= 0 && stream.Position() + k > reserved_end) reserve(remaining);
    stream.WriteBuffer(bytes, k);
    remaining -= k;
  };

  struct CutBack {
    rtl::TStream& stream;
    ~CutBack() {
      try {
        // A pre-size that was not filled is undone.
        if (stream.Size() > stream.Position()) stream.SetSize(stream.Position());
      } catch (...) {
      }
    }
  } cut_back{stream};
  WorkFrame work(*this, wmRead, until_disconnect ? 0 : count);

  if (input_buffer_.Size() > 0 && remaining > 0) {
    const int64_t k = std::min(input_buffer_.Size(), remaining);
    write(input_buffer_.Memory(), k);
    input_buffer_.Remove(k);
  }
  const int64_t block = std::max<int64_t>(1, std::min<int64_t>(remaining, recv_buffer_size_));
  while (remaining > 0 && Connected()) {
    const int64_t k = std::min(remaining, block);
    try {
      while (input_buffer_.Size() < k) {
        ReadFromStack();
        CheckForDisconnect(true, true);
      }
    } catch (const ENetConnClosedGracefully&) {
      if (!until_disconnect) throw;
      // Reading until the peer closes: what came last is the end of the data.
      // Emptying the buffer here is no consumption, so OnWork does not see it.
      const int64_t rest = std::min(input_buffer_.Size(), remaining);
      if (rest > 0) write(input_buffer_.Memory(), rest);
      input_buffer_.Clear();
      continue;
    }
    write(input_buffer_.Memory(), k);
    input_buffer_.Remove(k);
  }
}

std::string TNetTCPConnection::CurrentReadBuffer() {
  if (Connected()) ReadFromStack(false);
  return input_buffer_.Extract(input_buffer_.Size());
}

std::string TNetTCPConnection::AllData() {
  WorkFrame work(*this, wmRead, 0);
  std::string all;
  while (Connected()) all += CurrentReadBuffer();
  return all;
}

// ---- Writing ----

void TNetTCPConnection::WriteBuffer(const void* buffer, int64_t count, bool write_now) {
  if (count <= 0 || buffer == nullptr) return;
  CheckForDisconnect(true, true);
  if (!Connected()) throw ENetNotConnected();
  const char* bytes = static_cast<const char*>(buffer);
  if (write_buffer_ != nullptr && !write_now) {
    write_buffer_->Append(bytes, count);
    if (write_buffer_threshold_ > 0) {
      while (write_buffer_ != nullptr && write_buffer_->Size() >= write_buffer_threshold_) {
        FlushWriteBuffer(write_buffer_threshold_);
      }
    }
    return;
  }
  if (intercept_ == nullptr) {
    SendBlock(bytes, count);
    return;
  }
  TNetSimpleBuffer copy;
  copy.Append(bytes, count);
  copy.SetPosition(0);
  intercept_->Send(copy);
  SendBlock(copy.Memory(), copy.Size());
}

void TNetTCPConnection::SendBlock(const char* bytes, int64_t count) {
  int64_t sent_total = 0;
  while (sent_total < count) {
    const auto chunk = static_cast<int32_t>(std::min<int64_t>(count - sent_total, std::numeric_limits<int32_t>::max()));
    if (deadline_.IsSet()) {
      const int32_t left = deadline_.Left();
      if (left == 0 || !io_handler_->Writable(left)) DeadlineReached();
    }
    int32_t n = 0;
    try {
      n = io_handler_->Send(bytes + sent_total, chunk);
    } catch (const ENetReadTimeout&) {
      // A handler that waits on its own (TLS, record by record) ran into the
      // deadline: the connection ends as with any step the deadline cuts.
      if (deadline_.IsSet()) DeadlineReached();
      throw;
    }
    // Under a deadline the handler takes only what fits without waiting; a
    // full send buffer means waiting for room again.
    if (n < 0 && deadline_.IsSet() && GStack->WSGetLastError() == kWSAEWOULDBLOCK) continue;
    TNetAntiFreezeBase::DoProcess(false);
    closed_gracefully_ = (n == 0);
    CheckForDisconnect(true, false);
    if (GStack->CheckForSocketError(n, {kWSAESHUTDOWN, kWSAECONNABORTED, kWSAECONNRESET})) {
      DisconnectSocket();
      GStack->RaiseSocketError(GStack->LastError());
    }
    DoWork(wmWrite, n);
    sent_total += n;
  }
}

void TNetTCPConnection::Write(const std::string& text) {
  WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TNetTCPConnection::WriteLn(const std::string& text) { Write(text + "\r\n"); }

void TNetTCPConnection::WriteInteger(int32_t value, bool convert) {
  uint32_t raw = static_cast<uint32_t>(value);
  if (convert) raw = ToNetworkOrder(raw);
  WriteBuffer(&raw, sizeof raw);
}

void TNetTCPConnection::WriteStream(rtl::TStream& stream, bool all, bool write_byte_count, int64_t size) {
  if (all) stream.SetPosition(0);
  const int64_t end = size == 0 ? stream.Size() : stream.Position() + size;
  const int64_t length = end - stream.Position();
  if (write_byte_count) WriteInteger(static_cast<int32_t>(length), true);
  WorkFrame work(*this, wmWrite, length);
  std::vector<char> block(static_cast<size_t>(std::max(send_buffer_size_, 1)));
  for (;;) {
    const int64_t k = std::min<int64_t>(end - stream.Position(), static_cast<int64_t>(block.size()));
    if (k <= 0) break;
    const int64_t n = stream.Read(block.data(), k);
    if (n <= 0) throw ENetNoDataToRead();
    WriteBuffer(block.data(), n);
  }
}

int64_t TNetTCPConnection::WriteFile(const std::string& file_name, bool /*allow_platform_transfer*/) {
  if (!rtl::FileExists(file_name)) throw ENetFileNotFound(file_name);
  rtl::TFileStream file(file_name, rtl::fmOpenRead | rtl::fmShareDenyWrite);
  WriteStream(file, true, false);
  return file.Size();
}

void TNetTCPConnection::OpenWriteBuffer(int32_t threshold) {
  write_buffer_ = std::make_unique<TNetSimpleBuffer>();
  write_buffer_threshold_ = threshold;
}

void TNetTCPConnection::FlushWriteBuffer(int64_t count) {
  if (write_buffer_ == nullptr || write_buffer_->Size() == 0) return;
  const int64_t held = write_buffer_->Size();
  if (count == -1 || count >= held) {
    WriteBuffer(write_buffer_->Memory(), held, true);
    write_buffer_->Clear();
  } else if (count > 0) {
    WriteBuffer(write_buffer_->Memory(), count, true);
    write_buffer_->Remove(count);
  }
}

void TNetTCPConnection::ClearWriteBuffer() {
  if (write_buffer_ != nullptr) write_buffer_->Clear();
}

void TNetTCPConnection::CloseWriteBuffer() {
  try {
    FlushWriteBuffer(-1);
  } catch (...) {
    write_buffer_.reset();
    throw;
  }
  write_buffer_.reset();
}

// ---- Properties ----

void TNetTCPConnection::SetIntercept(TNetConnectionIntercept* intercept) {
  // A link to a previous intercept may stay; Notification compares pointers.
  intercept_ = intercept;
  if (intercept_ != nullptr) intercept_->FreeNotification(this);
}

void TNetTCPConnection::SetIOHandler(TNetIOHandler* handler) {
  if (handler == io_handler_) return;
  DestroyOwnedIOHandler();
  io_handler_ = handler;
  socket_ = dynamic_cast<TNetIOHandlerSocket*>(handler);
  if (io_handler_ != nullptr) {
    io_handler_->FreeNotification(this);
    io_handler_->SetDeadline(deadline_);
  }
}

bool TNetTCPConnection::FreeIOHandlerOnDisconnect() const { return Owns(io_handler_); }

void TNetTCPConnection::DestroyOwnedIOHandler() {
  if (!Owns(io_handler_)) return;
  TNetIOHandler* owned = io_handler_;
  io_handler_ = nullptr;
  socket_ = nullptr;
  FreeComponent(owned);
}

void TNetTCPConnection::Notification(rtl::TComponent* component, rtl::TOperation operation) {
  TNetComponent::Notification(component, operation);
  if (operation != rtl::opRemove) return;
  if (component == io_handler_) {
    io_handler_ = nullptr;
    socket_ = nullptr;
  }
  if (component == intercept_) intercept_ = nullptr;
}

}  // namespace meridian::net
