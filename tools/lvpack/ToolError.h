// The one error type of lvpack's library: a complete message for the user,
// naming the file and the field or the path, and what is wrong. Its kind tells
// the command line which exit code to give.
#pragma once

#include <stdexcept>
#include <string>

namespace lvpack {

enum class ErrorKind {
  kInput,  // what the user gave is not acceptable (command line, manifest, inputs); exit 2
  kIo,     // reading or writing failed, or an installer is damaged; exit 1
};

class ToolError : public std::runtime_error {
 public:
  explicit ToolError(const std::string& message, ErrorKind kind = ErrorKind::kInput)
      : std::runtime_error(message), kind_(kind) {}
  ErrorKind kind() const { return kind_; }

 private:
  ErrorKind kind_;
};

// A failure of reading or writing a file (or a damaged installer): exit code 1.
inline ToolError IoError(const std::string& message) { return ToolError(message, ErrorKind::kIo); }

}  // namespace lvpack
