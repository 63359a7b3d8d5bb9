// The command/response operations of TNetTCPConnection: numbered replies of
// line-based protocols, read into LastCmdResult and checked against the codes
// a caller allows.
#include <algorithm>

#include "net/exceptions.h"
#include "rtl/text.h"
#include "transport/tcp_connection.h"

namespace meridian::net {

int32_t TNetTCPConnection::SendCmd(const std::string& command, const std::vector<int16_t>& allowed) {
  WriteLn(command);
  return GetResponse(allowed);
}

int32_t TNetTCPConnection::GetResponse(const std::vector<int16_t>& allowed) {
  rtl::TStringList lines;
  ReadReply(lines);
  last_cmd_result_.ParseResponse(lines);
  return CheckResponse(last_cmd_result_.NumericCode(), allowed);
}

void TNetTCPConnection::ReadReply(rtl::TStringList& lines) {
  int32_t lines_read = 0;
  int64_t bytes_read = 0;
  // The next non-blank line, trimmed. Blank lines count against the limits
  // too, so a peer cannot keep the reader here with empty lines.
  auto next_line = [&] {
    for (;;) {
      if (lines_read >= kMaxReplyLines) throw ENetReplyTooLong();
      std::string line = ReadLn();
      ++lines_read;
      bytes_read += static_cast<int64_t>(line.size());
      if (bytes_read > kMaxReplyBytes) throw ENetReplyTooLong();
      line = rtl::Trim(line);
      if (!line.empty()) return line;
    }
  };
  std::string line = next_line();
  lines.Add(line);
  if (line.size() < 4 || line[3] != '-') return;
  // "250-" continues the reply; the line that begins "250 " ends it.
  const std::string end_marker = line.substr(0, 3) + ' ';
  do {
    line = next_line();
    lines.Add(line);
  } while (line.size() >= 4 && !rtl::SameText(std::string_view(line).substr(0, 4), end_marker));
}

int32_t TNetTCPConnection::CheckResponse(int32_t code, const std::vector<int16_t>& allowed) {
  if (allowed.empty() || std::find(allowed.begin(), allowed.end(), code) != allowed.end()) return code;
  RaiseExceptionForLastCmdResult();
  return code;
}

void TNetTCPConnection::RaiseExceptionForLastCmdResult() {
  throw ENetProtocolReplyError(last_cmd_result_.NumericCode(), last_cmd_result_.Text().Text());
}

void TNetTCPConnection::RaiseExceptionForLastCmdResult(const TNetExceptionClass& exception_class) {
  std::rethrow_exception(exception_class(last_cmd_result_.Text().Text()));
}

}  // namespace meridian::net
