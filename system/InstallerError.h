// The one error type that steps raise instead of returning a result code:
// file failures (carrying the operating system's error code), reads that run
// past the end of a file, and damaged compressed data. Start-up and tools
// catch it at their boundary and report kind, code and message.
#pragma once

#include <stdexcept>
#include <string>

#include "system/ResultCodes.h"

enum class ErrorKind {
  FileError,           // opening, creating or writing a file failed; code = OS error
  ReadError,           // a file ended before a read was satisfied
  DecompressionError,  // compressed data is damaged; message from the codec
};

class InstallerError : public std::runtime_error {
 public:
  InstallerError(ErrorKind kind, rc::Result code, const std::string& message)
      : std::runtime_error(message), kind_(kind), code_(code) {}

  ErrorKind kind() const noexcept { return kind_; }
  rc::Result code() const noexcept { return code_; }

  const char* kindName() const noexcept {
    switch (kind_) {
      case ErrorKind::FileError: return "FileError";
      case ErrorKind::ReadError: return "ReadError";
      case ErrorKind::DecompressionError: return "DecompressionError";
    }
    return "Error";
  }

 private:
  ErrorKind kind_;
  rc::Result code_;
};
