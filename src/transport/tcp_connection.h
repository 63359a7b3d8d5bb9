// One TCP connection as the protocol layers see it: buffered line, block and
// stream reading, buffered writing, detection of a close by the peer, an
// optional data intercept and progress notification.
#pragma once

#include <concepts>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "rtl/streams.h"
#include "transport/net_component.h"
#include "transport/managed_buffer.h"
#include "transport/rfc_reply.h"
#include "transport/simple_buffer.h"

namespace meridian::net {

class TNetConnectionIntercept;
class TNetIOHandler;
class TNetIOHandlerSocket;

// What ReadLn does with a line longer than the maximum.
enum TNetMaxLineAction : uint8_t { maException, maSplit };

// Fired with the connection as sender.
using TNetConnectionEvent = std::function<void(rtl::TComponent* sender)>;

// Makes the exception to raise from a message: the kind of exception that
// RaiseExceptionForLastCmdResult raises. ExceptionClass<E>() makes one for E.
using TNetExceptionClass = std::function<std::exception_ptr(const std::string& message)>;
template <class E>
  requires std::constructible_from<E, std::string>
TNetExceptionClass ExceptionClass() {
  return [](const std::string& message) { return std::make_exception_ptr(E(message)); };
}

// Every byte received goes through ReadFromStack into the input buffer and
// every reading operation takes its bytes from the front of that buffer; every
// byte sent goes through WriteBuffer. Bytes are reported to OnWork as they are
// consumed from the input buffer and as they are sent.
//
// The connection refers to an I/O handler and an intercept given from outside
// without owning them and forgets them when they are destroyed. An I/O handler
// on its own component list (the one a client makes while connecting) is its
// own: it ends at Disconnect, or when another handler is set.
// Time-outs are in ms: -1 means ReadTimeout (0 there: no limit), -2 no limit.
// One thread at a time.
class TNetTCPConnection : public TNetComponent {
 public:
  explicit TNetTCPConnection(rtl::TComponent* owner = nullptr);
  ~TNetTCPConnection() override;
  std::string ClassName() const override { return "TNetTCPConnection"; }

  // ---- State ----

  // True when an I/O handler is set and reports itself connected (a close by
  // the peer is noticed first, see CheckForDisconnect).
  virtual bool Connected();
  // Closes the connection: hsDisconnecting, DisconnectSocket, an owned I/O
  // handler is destroyed, OnDisconnected, hsDisconnected. The input buffer is
  // kept (the next connect empties it).
  virtual void Disconnect();
  // Marks the connection closed, tells the intercept and closes the I/O
  // handler, reporting nothing. Does nothing without an I/O handler.
  virtual void DisconnectSocket();
  // Notices a close. When the last receive found the peer gone, the socket is
  // closed and hsDisconnected and OnDisconnected are reported (once). Throws
  // ENetConnClosedGracefully when disconnected, `raise` is true and the input
  // buffer is empty or `ignore_buffer` is true.
  virtual void CheckForDisconnect(bool raise = true, bool ignore_buffer = false);
  // A quick (1 ms) poll that notices a close by the peer. Throws as
  // CheckForDisconnect with `raise`.
  virtual void CheckForGracefulDisconnect(bool raise = true);
  // Empties the input buffer and clears ClosedGracefully.
  virtual void ResetConnection();

  // ---- Reading ----

  // The one receive: waits at most `timeout` for data and appends one block of
  // at most RecvBufferSize bytes to the input buffer. Returns the count, 0 when
  // the peer closed, or -1 on a time-out when `raise_on_timeout` is false.
  // Throws ENetReadTimeout "Read Timeout" on a time-out otherwise (the
  // connection stays usable); ENetNotConnected when not connected and `raise`;
  // ENetConnClosedGracefully as CheckForDisconnect; ENetSocketError on a
  // failed receive (a reset connection among them).
  virtual int32_t ReadFromStack(bool raise = true, int32_t timeout = -1, bool raise_on_timeout = true);
  // One line ended by `terminator` (empty: LF), without the terminator; with
  // LF a CR before it is dropped too. `max_length` -1 means MaxLineLength,
  // 0 no limit. A longer line throws ENetReadLnMaxLineLengthExceeded (bytes
  // stay buffered) with maException, or is cut at the maximum with maSplit
  // (ReadLnSplit set). When a receive ends without data (a time-out with an
  // explicit `timeout`, or the peer closing while a partial line is buffered)
  // the result is empty and ReadLnTimedOut is set; the partial line stays.
  // Throws as ReadFromStack.
  virtual std::string ReadLn(const std::string& terminator = "\n", int32_t timeout = -1, int32_t max_length = -1);
  // ReadLn with the defaults, trimmed of blanks and control characters, until
  // a non-empty line or `fail_count` attempts; empty if none.
  std::string ReadLnWait(int32_t fail_count = std::numeric_limits<int32_t>::max());
  // Exactly `count` bytes into `buffer`, receiving as needed. Nothing for a
  // count of 0 or less or a null buffer. Throws ENetConnClosedGracefully when
  // the peer closes before `count` bytes came (the bytes stay buffered).
  void ReadBuffer(void* buffer, int64_t count);
  // Four bytes as an integer, from network order when `convert`.
  int32_t ReadInteger(bool convert = true);
  // Reads `count` bytes into `stream` at its position; -1 reads a 4-byte
  // big-endian length first (unless `until_disconnect`). With
  // `until_disconnect` reads until the peer closes and returns normally then.
  // The stream is pre-sized for a known count (at most 64 MiB ahead of the
  // bytes received) and cut back to its position at the end. Throws
  // ENetConnClosedGracefully when the peer closes before `count` bytes came.
  void ReadStream(rtl::TStream& stream, int64_t count = -1, bool until_disconnect = false);
  // What one receive (if connected) added, with everything buffered before.
  std::string CurrentReadBuffer();
  // Everything until the peer closes.
  virtual std::string AllData();

  // ---- Writing ----

  // Sends `count` bytes (or buffers them while a write buffer is open and
  // `write_now` is false). Nothing for a count of 0 or less or a null source.
  // Throws ENetNotConnected when not connected; ENetSocketError when the
  // send fails (a reset or shut-down connection is closed first).
  void WriteBuffer(const void* buffer, int64_t count, bool write_now = false);
  virtual void Write(const std::string& text);
  // The text followed by CR LF.
  virtual void WriteLn(const std::string& text = "");
  // Four bytes, in network order when `convert`.
  void WriteInteger(int32_t value, bool convert = true);
  // Sends `stream` from its position (from the start when `all`) up to its end,
  // or `size` bytes when `size` is not 0, in blocks of SendBufferSize; the
  // 4-byte byte count first when `write_byte_count`. Throws ENetNoDataToRead
  // when the stream ends early.
  virtual void WriteStream(rtl::TStream& stream, bool all = true, bool write_byte_count = false, int64_t size = 0);
  // Sends a whole file; returns its size. Throws ENetFileNotFound when it does
  // not exist. (`allow_platform_transfer` is accepted for callers; the file is
  // always sent through WriteStream here.)
  virtual int64_t WriteFile(const std::string& file_name, bool allow_platform_transfer = false);

  // From now on writes collect in a write buffer; with `threshold` above 0 each
  // time it holds at least `threshold` bytes, that many are sent.
  void OpenWriteBuffer(int32_t threshold = -1);
  // Sends `count` buffered bytes (-1, or more than held: all of them).
  void FlushWriteBuffer(int64_t count = -1);
  void ClearWriteBuffer();
  // Flushes and ends buffering; writes go straight out again.
  void CloseWriteBuffer();
  bool WriteBufferOpen() const { return write_buffer_ != nullptr; }

  // ---- Commands and replies ----

  // Limits of one reply read by GetResponse, counting blank lines too: a
  // longer reply throws ENetReplyTooLong, and the connection is then out of
  // step with its peer. Each line is limited by MaxLineLength as well.
  static constexpr int32_t kMaxReplyLines = 10000;
  static constexpr int64_t kMaxReplyBytes = 4 * 1024 * 1024;

  // Sends `command` followed by CR LF, then returns GetResponse(`allowed`).
  virtual int32_t SendCmd(const std::string& command, const std::vector<int16_t>& allowed = {});
  // Reads one reply into LastCmdResult and returns CheckResponse of its code.
  // A reply is one line, or a first line whose fourth character is "-"
  // ("250-") and the lines up to one beginning with the same code and a blank
  // ("250 ", letter case ignored) or shorter than four characters. Blank
  // lines are skipped and lines are trimmed. Throws ENetReplyTooLong past the
  // limits above, and as ReadLn and CheckResponse.
  virtual int32_t GetResponse(const std::vector<int16_t>& allowed = {});
  // Returns `code` when `allowed` is empty or holds it; otherwise
  // RaiseExceptionForLastCmdResult.
  virtual int32_t CheckResponse(int32_t code, const std::vector<int16_t>& allowed);
  // Throws ENetProtocolReplyError with LastCmdResult's code, its message the
  // reply's lines, each followed by CR LF.
  virtual void RaiseExceptionForLastCmdResult();
  // Throws the exception that `exception_class` makes from the same message.
  virtual void RaiseExceptionForLastCmdResult(const TNetExceptionClass& exception_class);
  // The last reply read by GetResponse.
  TNetRFCReply& LastCmdResult() { return last_cmd_result_; }
  const TNetRFCReply& LastCmdResult() const { return last_cmd_result_; }

  // ---- Properties ----

  // Clear the top bit of every received byte. Default: false.
  bool ASCIIFilter() const { return ascii_filter_; }
  void SetASCIIFilter(bool value) { ascii_filter_ = value; }
  // The last receive found the peer gone, or the connection closed its socket.
  bool ClosedGracefully() const { return closed_gracefully_; }
  // The I/O handler is this connection's own and ends at Disconnect.
  bool FreeIOHandlerOnDisconnect() const;
  // Received bytes not yet consumed.
  TNetManagedBuffer& InputBuffer() { return input_buffer_; }
  TNetConnectionIntercept* Intercept() const { return intercept_; }
  void SetIntercept(TNetConnectionIntercept* intercept);
  TNetIOHandler* IOHandler() const { return io_handler_; }
  // Destroys an owned handler first, then refers to `handler`.
  void SetIOHandler(TNetIOHandler* handler);
  // The I/O handler when it is a socket I/O handler.
  TNetIOHandlerSocket* Socket() const { return socket_; }
  // Default: maException.
  TNetMaxLineAction MaxLineAction() const { return max_line_action_; }
  void SetMaxLineAction(TNetMaxLineAction action) { max_line_action_ = action; }
  // Bytes; 0 means no limit. Default: 16384.
  int32_t MaxLineLength() const { return max_line_length_; }
  void SetMaxLineLength(int32_t length) { max_line_length_ = length; }
  bool ReadLnSplit() const { return read_ln_split_; }
  bool ReadLnTimedOut() const { return read_ln_timed_out_; }
  // ms; 0 means no limit. Default: 0.
  int32_t ReadTimeout() const { return read_timeout_; }
  void SetReadTimeout(int32_t timeout) { read_timeout_ = timeout; }
  // Bytes asked for per receive. Default: 32768.
  int32_t RecvBufferSize() const { return recv_buffer_size_; }
  void SetRecvBufferSize(int32_t size) { recv_buffer_size_ = size; }
  // Block size of WriteStream. Default: 32768.
  int32_t SendBufferSize() const { return send_buffer_size_; }
  void SetSendBufferSize(int32_t size) { send_buffer_size_ = size; }

  TNetConnectionEvent OnDisconnected;

 protected:
  virtual void DoOnDisconnected();
  void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

 private:
  // 1-based position of `terminator` in the input buffer, searching from
  // `from` (0-based); 0 when absent.
  int64_t FindTerminator(const std::string& terminator, int64_t from);
  std::string LineTooLong(int32_t max_length);
  // Receives one block into the input buffer; returns the count received (or
  // the handler's 0 or -1) and sets `appended` to the bytes the block became.
  int32_t ReceiveBlock(int32_t& appended);
  void SendBlock(const char* bytes, int64_t count);
  void DestroyOwnedIOHandler();
  // The lines of one reply, within the reply limits.
  void ReadReply(rtl::TStringList& lines);

  bool ascii_filter_ = false;
  bool closed_gracefully_ = false;
  TNetManagedBuffer input_buffer_;
  TNetConnectionIntercept* intercept_ = nullptr;
  TNetIOHandler* io_handler_ = nullptr;
  TNetRFCReply last_cmd_result_;
  TNetMaxLineAction max_line_action_ = maException;
  int32_t max_line_length_ = 16384;
  bool read_ln_split_ = false;
  bool read_ln_timed_out_ = false;
  int32_t read_timeout_ = 0;
  int32_t recv_buffer_size_ = 32768;
  TNetSimpleBuffer recv_buffer_;
  int32_t send_buffer_size_ = 32768;
  TNetIOHandlerSocket* socket_ = nullptr;
  std::unique_ptr<TNetSimpleBuffer> write_buffer_;
  int32_t write_buffer_threshold_ = -1;
};

}  // namespace meridian::net
