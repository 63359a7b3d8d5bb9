// Base exceptions of the runtime: every error of the system derives from
// Exception, whose what() is its message text.
#pragma once

#include <exception>
#include <string>

namespace meridian::rtl {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A text that is no valid number, date or time; a date or time that cannot be
// encoded.
class EConvertError : public Exception {
  using Exception::Exception;
};

// Stream failures: a file that cannot be opened, a short read or write.
class EStreamError : public Exception {
  using Exception::Exception;
};
class EFOpenError : public EStreamError {
  using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
  using EStreamError::EStreamError;
};

// An index outside a list or an array.
class EListError : public Exception {
  using Exception::Exception;
};

// An assignment between objects of kinds that cannot be assigned.
class EAssignError : public Exception {
  using Exception::Exception;
};

// "Cannot assign a %s to a %s." with the two class names.
[[noreturn]] void RaiseAssignError(const std::string& source_class, const std::string& target_class);

}  // namespace meridian::rtl
