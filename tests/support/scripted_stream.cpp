#include "support/scripted_stream.h"

#include <algorithm>
#include <cstring>

#include "net/exceptions.h"
#include "transport/net_stack.h"

namespace meridian::net::testing {

std::string Pieces::Name() const {
  switch (kind) {
    case kWhole:
      return "whole";
    case kFixed:
      return "pieces of " + std::to_string(size);
    case kRandom:
      return "random pieces up to " + std::to_string(size) + " (seed " + std::to_string(seed) + ")";
  }
  return "?";
}

ScriptedStream::ScriptedStream(std::vector<ScriptedConnection> script, Pieces pieces)
    : script_(std::move(script)) {
  SetPieces(pieces);
}

ScriptedStream::~ScriptedStream() { Close(); }

void ScriptedStream::SetPieces(Pieces pieces) {
  pieces_ = pieces;
  random_.seed(pieces.seed);
}

void ScriptedStream::FailAt(Operation kind, int64_t n) {
  fail_kind_ = kind;
  fail_at_ = n;
}

int64_t ScriptedStream::Operations(Operation kind) const { return counts_[kind]; }

void ScriptedStream::Count(Operation kind, int32_t code) {
  ++counts_[kind];
  ++counts_[opAny];
  if (fail_at_ <= 0 || counts_[fail_kind_] != fail_at_) return;
  if (fail_kind_ != opAny && fail_kind_ != kind) return;
  fail_at_ = 0;
  failed_ = true;
  broken_ = true;
  GStack->RaiseSocketError(code);
}

void ScriptedStream::ConnectClient(const std::string& host, int32_t port, const std::string& /*bound_ip*/,
                                   int32_t /*bound_port*/, int32_t /*bound_port_min*/,
                                   int32_t /*bound_port_max*/, int32_t /*timeout*/) {
  targets_.push_back(host + ":" + std::to_string(port));
  Count(opConnect, kWSAECONNREFUSED);
  if (next_connection_ >= script_.size()) GStack->RaiseSocketError(kWSAECONNREFUSED);
  current_ = &script_[next_connection_++];
  sent_.emplace_back();
  open_ = true;
  broken_ = false;
  reply_ = 0;
  offset_ = 0;
  released_ = current_->replies.empty() ? 0 : 1;
}

void ScriptedStream::Close() {
  open_ = false;
  current_ = nullptr;
}

size_t ScriptedStream::Pending() const {
  if (current_ == nullptr || reply_ >= released_) return 0;
  return current_->replies[reply_].size() - offset_;
}

bool ScriptedStream::Readable(int32_t /*timeout*/) {
  if (!open_) throw ENetConnClosedGracefully();
  if (broken_ || Pending() > 0) return true;
  // Past the last reply the peer's close is readable; a silent peer is not.
  return released_ == current_->replies.size() && current_->close_at_end;
}

size_t ScriptedStream::NextPiece(size_t asked) {
  switch (pieces_.kind) {
    case Pieces::kWhole:
      return asked;
    case Pieces::kFixed:
      return std::min(asked, std::max<size_t>(pieces_.size, 1));
    case Pieces::kRandom:
      return std::min(asked, std::uniform_int_distribution<size_t>(1, std::max<size_t>(pieces_.size, 1))(random_));
  }
  return asked;
}

int32_t ScriptedStream::Recv(void* buffer, int32_t length) {
  if (!open_) throw ENetClosedSocket();
  Count(opRecv, kWSAECONNRESET);
  if (broken_) GStack->RaiseSocketError(kWSAECONNRESET);
  if (Pending() == 0) {
    if (released_ == current_->replies.size() && current_->close_at_end) return 0;
    // The peer stays silent: a real socket would wait; here the wait ends as a
    // time-out would end it.
    throw ENetReadTimeout();
  }
  const size_t count = NextPiece(std::min<size_t>(Pending(), static_cast<size_t>(std::max(length, 0))));
  std::memcpy(buffer, current_->replies[reply_].data() + offset_, count);
  offset_ += count;
  return static_cast<int32_t>(count);
}

int32_t ScriptedStream::Send(const void* buffer, int32_t length) {
  if (!open_) throw ENetClosedSocket();
  Count(opSend, kWSAECONNRESET);
  if (broken_) GStack->RaiseSocketError(kWSAECONNRESET);
  sent_.back().append(static_cast<const char*>(buffer), static_cast<size_t>(std::max(length, 0)));
  // A request after everything released was received prompts the next reply.
  if (Pending() == 0 && reply_ + 1 == released_ && released_ < current_->replies.size()) {
    ++reply_;
    offset_ = 0;
    ++released_;
  }
  return length;
}

}  // namespace meridian::net::testing
