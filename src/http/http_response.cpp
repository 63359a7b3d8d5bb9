#include "http/http_response.h"

#include <algorithm>
#include <limits>

#include "net/exceptions.h"
#include "rtl/streams.h"
#include "rtl/text.h"
#include "transport/tcp_connection.h"

namespace meridian::net {

namespace {

// A line limit for the reads of this unit: the connection's own limit, or the
// head bound when the connection sets none, so that no line can grow the
// input buffer without end.
int32_t LineLimit(const TNetTCPConnection& client) {
  return client.MaxLineLength() > 0 ? -1 : static_cast<int32_t>(kMaxResponseHeadBytes);
}

// A decimal number made of digits only; false when empty, when anything else
// is in it, or when it exceeds `limit`.
bool ParseDecimalUpTo(std::string_view text, int64_t limit, int64_t& value) {
  if (text.empty()) return false;
  int64_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    int digit = c - '0';
    if (result > (limit - digit) / 10) return false;
    result = result * 10 + digit;
  }
  value = result;
  return true;
}

// Empty lines a peer may send before a status line; more are no HTTP reply.
constexpr int32_t kMaxEmptyLinesBeforeStatus = 8;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "HTTP/" (any letter case), a digit, ".", a digit, blanks, a status code of
// three digits (100 to 999), then the end or a blank and the reason.
bool IsStatusLine(std::string_view line) {
  if (line.size() < 12 || !rtl::SameText(line.substr(0, 5), "HTTP/")) return false;
  if (!IsDigit(line[5]) || line[6] != '.' || !IsDigit(line[7]) || line[8] != ' ') return false;
  size_t at = line.find_first_not_of(' ', 8);
  if (at == std::string_view::npos || line.size() - at < 3) return false;
  if (line[at] < '1' || line[at] > '9' || !IsDigit(line[at + 1]) || !IsDigit(line[at + 2])) return false;
  at += 3;
  return at == line.size() || line[at] == ' ' || line[at] == '\t';
}

// Calls `each` with every element of a comma-separated list, trimmed; a list
// that ends in a comma has no empty element after it.
template <typename Each>
void ForEachListElement(std::string_view list, Each each) {
  while (!list.empty()) {
    const size_t comma = list.find(',');
    each(rtl::TrimmedView(list.substr(0, comma)));
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
  }
}

// True when the comma-separated header value lists `token` (case ignored).
bool ListsToken(std::string_view value, std::string_view token) {
  bool found = false;
  ForEachListElement(value, [&](std::string_view element) { found = found || rtl::SameText(element, token); });
  return found;
}

// The size on a chunk-size line: hexadecimal digits in either case, then
// optional ";name=value" extensions, which are ignored. False when the digits
// are missing, are no hexadecimal number or do not fit.
bool ParseChunkSize(std::string_view line, int64_t& size) {
  std::string_view rest = rtl::TrimmedView(line);
  rest = rtl::TrimmedView(rest.substr(0, rest.find(';')));
  const std::string_view digits = rest.substr(0, rest.find(' '));
  if (digits.empty()) return false;
  int64_t result = 0;
  for (char c : digits) {
    int digit = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                         : -1;
    if (digit < 0 || result > (std::numeric_limits<int64_t>::max() >> 4)) return false;
    result = (result << 4) | digit;
  }
  size = result;
  return true;
}

}  // namespace

const char* HTTPProtocolVersionText(TNetHTTPProtocolVersion version) {
  return version == pv1_0 ? "1.0" : "1.1";
}

TNetHTTPResponse::TNetHTTPResponse(TNetTCPConnection* client, TNetHTTPVersionQuery client_version)
    : client_(client), client_version_(std::move(client_version)) {}

void TNetHTTPResponse::SetStatusLine(std::string line) {
  status_line_ = std::move(line);
  // The code is the token after the first blank: 'HTTP/1.1 200 OK' -> "200".
  std::string_view rest = status_line_;
  const size_t blank = rest.find(' ');
  rest = rtl::TrimmedView(blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1));
  const std::string_view token = rest.substr(0, rest.find(' '));
  int64_t code = -1;
  status_code_ = ParseDecimalUpTo(token, std::numeric_limits<int32_t>::max(), code)
                     ? static_cast<int32_t>(code)
                     : -1;
}

bool TNetHTTPResponse::IsInterim() const {
  return status_code_ >= 100 && status_code_ <= 199 && status_code_ != 101;
}

bool TNetHTTPResponse::ConnectionReusable() {
  if (status_line_.size() > 5) {
    const std::string_view version = std::string_view(status_line_).substr(5, 3);
    // Digits and a dot: no letter case to ignore.
    if (version == "1.0") {
      status_version_ = pv1_0;
    } else if (version == "1.1") {
      status_version_ = pv1_1;
    }
  }
  client_->CheckForDisconnect(false);
  bool reusable = client_->Connected();
  if (reusable) {
    TNetHTTPProtocolVersion version = client_version_ ? client_version_() : pv1_1;
    if (version == pv1_0) {
      reusable = ListsToken(Connection(), "KEEP-ALIVE") || ListsToken(ProxyConnection(), "KEEP-ALIVE");
    } else {
      reusable = !ListsToken(Connection(), "CLOSE") && !ListsToken(ProxyConnection(), "CLOSE");
    }
  }
  // Bytes of this response still on the wire would be read as the next
  // response; after 101 the connection speaks another protocol.
  // Bytes beyond the response (a second response glued to it) would be read as
  // the answer to the next request.
  return reusable && !unread_ && status_code_ != 101 && client_->InputBuffer().Size() == 0;
}

void TNetHTTPResponse::ReadStatusLine(bool empty_answer) {
  // Until its head is read the whole answer is still due: one that comes
  // after a time-out here must not answer the next request.
  unread_ = true;
  std::string line;
  for (int32_t empty = 0;; ++empty) {
    line = client_->ReadLn("\n", -1, LineLimit(*client_));
    // An empty line that the connection marks as cut off means the peer closed
    // in the middle of it.
    if (line.empty() && client_->ReadLnTimedOut()) throw ENetConnClosedGracefully();
    if (line.empty() && empty_answer) {
      status_line_.clear();
      status_code_ = -1;
      unread_ = false;
      return;
    }
    if (!line.empty() || empty >= kMaxEmptyLinesBeforeStatus) break;
  }
  // Anything else is not an HTTP reply: what follows cannot be framed, so the
  // connection is not used again.
  if (!IsStatusLine(line)) {
    unread_ = true;
    client_->Disconnect();
    throw ENetHTTPInvalidStatusLine();
  }
  SetStatusLine(std::move(line));
}

// Counts one line of a head (with its line end) and enforces the bound. The
// connection is closed first: the rest of the head is never read.
void TNetHTTPResponse::ChargeHead(size_t line_length) {
  head_bytes_ += static_cast<int64_t>(line_length) + 2;
  if (head_bytes_ > kMaxResponseHeadBytes) {
    client_->Disconnect();
    throw ENetHTTPHeadTooLarge();
  }
}

void TNetHTTPResponse::ReadResponseHead() {
  // Interim answers share one bound with the final head after them, so an
  // endless run of them ends too.
  bool continuing = interim_run_;
  interim_run_ = false;
  if (!continuing) head_bytes_ = 0;
  unread_ = true;
  framing_ = kNoBody;
  ChargeHead(status_line_.size());

  WireHeaders().Clear();
  // A head cut short by the peer's close, at a line end or inside a line, is
  // no answer: its status and framing cannot be trusted.
  auto cut_short = [this] {
    client_->Disconnect();
    throw ENetHTTPHeadIncomplete();
  };
  for (;;) {
    std::string line;
    try {
      line = client_->ReadLn("\n", -1, LineLimit(*client_));
    } catch (const ENetConnClosedGracefully&) {
      cut_short();
    }
    ChargeHead(line.size());
    if (line.empty()) {
      if (client_->ReadLnTimedOut()) cut_short();  // closed mid-line
      break;
    }
    WireHeaders().Add(std::move(line));
  }
  ParseHeaders();
  DecideFraming();
  interim_run_ = IsInterim();
}

// Chooses the framing of the body (RFC 7230, section 3.3.3): no body for 1xx,
// 204, 304 and an answer to HEAD; the chunked coding over any Content-Length;
// then a length that all "Content-Length" values agree on; else the body runs
// until the close.
void TNetHTTPResponse::DecideFraming() {
  const TNetHeaderList& wire = WireHeaders();
  // The codings may be spread over several "Transfer-Encoding" lines. Only a
  // final "chunked" frames the body; with another coding last the body runs
  // until the close.
  std::string final_coding;
  for (int32_t i = FirstTransferEncoding(); i >= 0; i = wire.FindName("Transfer-Encoding", i + 1)) {
    ForEachListElement(wire.ValueAt(i), [&](std::string_view coding) {
      if (!coding.empty()) final_coding = coding;
    });
  }
  const bool chunked = rtl::SameText(final_coding, "chunked");

  // Every "Content-Length" line, and every element of a comma list in one,
  // must give the same value: the same number, or the same text where it is
  // none.
  bool announced = false;
  bool length_valid = false;
  bool invalid = false;
  bool conflict = false;
  int64_t length = -1;
  std::string first_text;
  const auto take = [&](std::string_view text) {
    int64_t value = -1;
    const bool valid = ParseDecimalUpTo(text, std::numeric_limits<int64_t>::max(), value);
    if (!valid) invalid = true;
    if (!announced) {
      announced = true;
      length_valid = valid;
      length = value;
      if (!valid) first_text = text;
    } else if (valid != length_valid || (valid ? value != length : text != first_text)) {
      conflict = true;
    }
  };
  for (int32_t i = FirstContentLength(); i >= 0; i = wire.FindName("Content-Length", i + 1)) {
    const std::string line = wire.ValueAt(i);
    // An empty line is one empty, invalid length.
    if (line.empty()) {
      take(line);
    } else {
      ForEachListElement(line, take);
    }
  }

  bool no_body = head_request_ || (status_code_ >= 100 && status_code_ <= 199) || status_code_ == 204 ||
                 status_code_ == 304;
  if (no_body) {
    framing_ = kNoBody;
    // A body announced where none may follow leaves the connection's state
    // unknown: it is not used again.
    unread_ = chunked || (length_valid && length > 0) || conflict || invalid;
  } else if (chunked) {
    framing_ = kChunked;
  } else if (conflict) {
    client_->Disconnect();
    throw ENetHTTPConflictingContentLength();
  } else if (invalid) {
    // "-5", "+5" or a length beyond 63 bits: the body's end is unknown.
    client_->Disconnect();
    throw ENetHTTPMalformedResponse();
  } else if (length_valid && length > 0) {
    framing_ = kLength;
    body_length_ = length;
  } else if (length_valid) {
    framing_ = kNoBody;
    unread_ = false;
  } else {
    framing_ = kUntilClose;
  }
}

void TNetHTTPResponse::ReadBody() {
  if (body_stream_ == nullptr) return;
  switch (framing_) {
    case kNoBody:
      return;
    case kLength:
      ReadKnownLength(*body_stream_, body_length_);
      break;
    case kChunked:
      client_->DoStatus(hsStatusText, {"Chunk Started"});
      ReadChunked(*body_stream_);
      break;
    case kUntilClose:
      client_->ReadStream(*body_stream_, -1, true);
      break;
  }
  framing_ = kNoBody;
  unread_ = false;
}

void TNetHTTPResponse::DrainBody() {
  rtl::TStream* previous = body_stream_;
  rtl::TNullStream sink;
  body_stream_ = &sink;
  try {
    ReadBody();
  } catch (...) {
    body_stream_ = previous;
    throw;
  }
  body_stream_ = previous;
}

// Reads exactly `length` bytes. A close before the end keeps what arrived in
// the stream and fails: a short body is never reported whole.
void TNetHTTPResponse::ReadKnownLength(rtl::TStream& stream, int64_t length) {
  int64_t before = stream.Position();
  try {
    client_->ReadStream(stream, length, false);
  } catch (const ENetConnClosedGracefully&) {
    // The bytes of the last partial block are still in the input buffer.
    client_->ReadStream(stream, -1, true);
    throw ENetHTTPBodyIncomplete();
  }
  // A connection that was closed before the call hands over what it had
  // buffered without raising.
  if (stream.Position() - before < length) throw ENetHTTPBodyIncomplete();
}

// One line of the chunked framing; the peer's close here cuts the body short.
std::string TNetHTTPResponse::ReadBodyLine() {
  std::string line;
  try {
    line = client_->ReadLn("\n", -1, LineLimit(*client_));
  } catch (const ENetConnClosedGracefully&) {
    throw ENetHTTPBodyIncomplete();
  }
  if (line.empty() && client_->ReadLnTimedOut()) throw ENetHTTPBodyIncomplete();
  return line;
}

// The chunked transfer coding (RFC 7230, section 4.1): a size line, the
// chunk's data and a line end, repeated until a chunk of size 0; then the
// trailer.
void TNetHTTPResponse::ReadChunked(rtl::TStream& stream) {
  for (;;) {
    int64_t size = 0;
    if (!ParseChunkSize(ReadBodyLine(), size)) throw ENetHTTPInvalidChunkedBody();
    if (size == 0) break;
    ReadKnownLength(stream, size);
    if (!ReadBodyLine().empty()) throw ENetHTTPInvalidChunkedBody();
  }
  ReadTrailer();
}

// Trailer lines after the last chunk are read and dropped up to the empty line
// that ends the message, within the head bound. A close here loses no body
// byte, so it ends the body quietly.
void TNetHTTPResponse::ReadTrailer() {
  head_bytes_ = 0;
  try {
    for (;;) {
      std::string line = client_->ReadLn("\n", -1, LineLimit(*client_));
      if (line.empty()) return;
      ChargeHead(line.size());
    }
  } catch (const ENetConnClosedGracefully&) {
  }
}

}  // namespace meridian::net
