// Where meridian-fetch writes its messages, -v lines and progress bar:
// standard error, or a text that tests read back.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace meridian::fetch {

// A sink for text pieces, each written as it comes. Deliberately not an
// iostream: setting up the stream library's locales would cost every start
// of the program time and the better part of a megabyte of memory.
class TFetchMessages {
 public:
  virtual ~TFetchMessages() = default;

  virtual void Write(std::string_view text) = 0;

  TFetchMessages& operator<<(std::string_view text) {
    Write(text);
    return *this;
  }
  TFetchMessages& operator<<(char c) {
    Write(std::string_view(&c, 1));
    return *this;
  }
};

// Standard error, unbuffered: every piece is out when Write returns.
class TFetchStandardError : public TFetchMessages {
 public:
  void Write(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stderr); }
};

// Collects the pieces in memory.
class TFetchMessageText : public TFetchMessages {
 public:
  void Write(std::string_view text) override { text_.append(text); }
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

}  // namespace meridian::fetch
