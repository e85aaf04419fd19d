// The one error type that steps raise instead of returning a result code:
// file failures (carrying the operating system's error code), reads that run
// past the end of a file, and damaged compressed data. Start-up and tools
// catch it at their boundary and report kind, code and message.
// It derives from std::exception itself: std::runtime_error would bring the
// C++ library's whole second string implementation into the installer image.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "system/ResultCodes.h"

enum class ErrorKind {
  FileError,           // opening, creating or writing a file failed; code = OS error
  ReadError,           // a file ended before a read was satisfied
  DecompressionError,  // compressed data is damaged; message from the codec
};

class InstallerError : public std::exception {
 public:
  InstallerError(ErrorKind kind, rc::Result code, std::string message)
      : message_(std::move(message)), kind_(kind), code_(code) {}

  const char* what() const noexcept override { return message_.c_str(); }

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
  std::string message_;
  ErrorKind kind_;
  rc::Result code_;
};
