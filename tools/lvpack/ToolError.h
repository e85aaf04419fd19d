// The one error type of lvpack's library: a complete message for the user,
// naming the file, the field and what is wrong. The command line turns it into
// exit code 2.
#pragma once

#include <stdexcept>
#include <string>

namespace lvpack {

class ToolError : public std::runtime_error {
 public:
  explicit ToolError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace lvpack
