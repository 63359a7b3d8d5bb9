// The response side of an HTTP exchange: the status line, the header block and
// the body, read from the connection that carries the exchange.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "http/response_header_info.h"

namespace meridian::rtl {
class TStream;
}

namespace meridian::net {

class TNetTCPConnection;

// The HTTP version of a request or a response.
enum TNetHTTPProtocolVersion : uint8_t { pv1_0, pv1_1 };

// "1.0" or "1.1".
const char* HTTPProtocolVersionText(TNetHTTPProtocolVersion version);

// Answers the owning client's ProtocolVersion setting, which decides the
// keep-alive rule of ConnectionReusable.
using TNetHTTPVersionQuery = std::function<TNetHTTPProtocolVersion()>;

// The bound on what a peer may send as the head of one response: the status
// lines and header blocks of the final answer and of the interim answers
// before it, each line counted with its line end. The trailer of a chunked
// body has the same bound, and so has one line when the connection sets no
// line limit of its own.
inline constexpr int64_t kMaxResponseHeadBytes = 1024 * 1024;

// The response record of an HTTP exchange. It reads through the buffered
// operations of its owning connection, in this order: the status line
// (ReadStatusLine) and the header block (ReadResponseHead), again while
// IsInterim; then the body (ReadBody or DrainBody). The body goes to
// BodyStream piece by piece, never held whole.
//
// Ownership: the connection and BodyStream are not owned; the connection
// outlives the response (the HTTP client owns both). Used by the one thread
// that drives the connection.
class TNetHTTPResponse : public TNetResponseHeaderInfo {
 public:
  // REQUIRES: `client` is not null and outlives the response.
  // `client_version` answers the client's ProtocolVersion; Default: pv1_1.
  explicit TNetHTTPResponse(TNetTCPConnection* client, TNetHTTPVersionQuery client_version = {});

  std::string ClassName() const override { return "TNetHTTPResponse"; }

  // The first line of the response as received. Setting it also sets
  // StatusCode.
  const std::string& StatusLine() const { return status_line_; }
  void SetStatusLine(std::string line);

  // The status code parsed from StatusLine: the second blank-separated token
  // as a decimal number ('HTTP/1.1 200 OK' gives 200); -1 when it is not one
  // (' HTTP/1.1 301' with its leading blank gives -1).
  int32_t StatusCode() const { return status_code_; }

  // True for an interim answer (1xx other than 101 Switching Protocols): the
  // final response follows it on the same connection, so the caller reads the
  // next status line and head.
  bool IsInterim() const;

  // Whether the connection may carry the next request. Sets StatusVersion from
  // StatusLine, notices a close by the peer, then applies the keep-alive rule
  // of the client's ProtocolVersion: under 1.0 only a "keep-alive" Connection
  // or Proxy-Connection header keeps it, under 1.1 only "close" in one of them
  // ends it (letter case ignored). Always false while part of this response
  // is still unread on the connection (a head or body cut short by an error,
  // a body that was not read, a body announced on a response that has none),
  // while received bytes beyond the response wait in the input buffer, and
  // after 101 Switching Protocols.
  bool ConnectionReusable();

  // The version in StatusLine, updated by ConnectionReusable. Default: pv1_1.
  TNetHTTPProtocolVersion StatusVersion() const { return status_version_; }

  // The stream that receives the body, or none (nothing is read, as for
  // HEAD). Not owned. Default: none.
  rtl::TStream* BodyStream() const { return body_stream_; }
  void SetBodyStream(rtl::TStream* stream) { body_stream_ = stream; }

  // True when the response answers a HEAD request: it then has no body,
  // whatever its head announces. Set by the client before reading the head.
  // Default: false.
  bool HeadRequest() const { return head_request_; }
  void SetHeadRequest(bool value) { head_request_ = value; }

  // Reads the status line into StatusLine, skipping up to eight empty lines
  // before it; with `empty_answer` an empty first line is the answer instead
  // (StatusLine empty). Throws ENetHTTPInvalidStatusLine (the connection is then
  // closed) for a line that is not "HTTP/" digit "." digit, a three-digit code
  // and an optional reason; ENetConnClosedGracefully when the peer closes
  // before or during the line; the connection's read errors pass unchanged.
  void ReadStatusLine(bool empty_answer = false);

  // Reads the header block that follows StatusLine into WireHeaders and parses
  // the fields. A close by the peer ends the block: the connection is closed
  // and the lines read so far count.
  // Throws ENetHTTPHeadTooLarge (the connection is then closed) when the head
  // outgrows kMaxResponseHeadBytes, counting the interim answers before it;
  // ENetHTTPConflictingContentLength when "Content-Length" lines disagree on a
  // response whose body they frame; ENetHTTPMalformedResponse when a
  // "Content-Length" that frames the body is not a plain decimal number that
  // fits 63 bits; the field parse errors of the header
  // record; the connection's other read errors unchanged.
  void ReadResponseHead();

  // Reads the body into BodyStream, once; nothing when BodyStream is none.
  // The framing: none for 1xx, 204, 304 and an answer to HEAD; the chunked
  // transfer coding when the last coding the "Transfer-Encoding" lines name is
  // "chunked" (any letter case), whatever else the head says (reported to
  // OnStatus as hsStatusText "Chunk Started"); else "Content-Length" bytes;
  // else everything until the peer closes.
  // Throws ENetHTTPBodyIncomplete when the peer closes before the announced
  // length or the last chunk (what arrived stays in BodyStream);
  // ENetHTTPInvalidChunkedBody for a chunk-size line that is no hexadecimal
  // number or too large, or chunk data not followed by a line end; the
  // connection's other read errors unchanged.
  void ReadBody();

  // Reads the body and throws it away; BodyStream is left as it was.
  // Throws as ReadBody.
  void DrainBody();

 private:
  // How the body of the response in hand is delimited.
  enum Framing : uint8_t { kNoBody, kLength, kChunked, kUntilClose };

  void DecideFraming();
  std::string ReadBodyLine();
  void ChargeHead(size_t line_length);
  void ReadKnownLength(rtl::TStream& stream, int64_t length);
  void ReadChunked(rtl::TStream& stream);
  void ReadTrailer();

  TNetTCPConnection* client_;
  TNetHTTPVersionQuery client_version_;
  int32_t status_code_ = -1;
  std::string status_line_;
  TNetHTTPProtocolVersion status_version_ = pv1_1;
  rtl::TStream* body_stream_ = nullptr;
  bool head_request_ = false;

  Framing framing_ = kNoBody;
  int64_t body_length_ = 0;         // with kLength
  bool unread_ = false;             // part of this response is still on the wire
  bool interim_run_ = false;        // the last head read was an interim answer
  int64_t head_bytes_ = 0;          // head bytes charged since the last final response
};

}  // namespace meridian::net
