#pragma once
// Exceptions of the text model. Messages are UTF-8.

#include <stdexcept>
#include <string>

// An index, count or capacity outside a list's range.
class EListError : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

// A file could not be opened, read or written; the message is the system's
// error text, ErrorCode the errno value behind it.
class EInOutError : public std::runtime_error {
 public:
  EInOutError(const std::string& message, int errorCode)
      : std::runtime_error(message), ErrorCode(errorCode) {}
  int ErrorCode;
};
