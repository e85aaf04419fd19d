// Running a helper program (osslsigncode) found on PATH: no shell, so file
// names are passed as they are; its standard output and error are collected.
#pragma once

#include <string>
#include <vector>

namespace lvpack {

struct ProgramRun {
  bool started = false;  // false: the program was not found or could not start
  int exitCode = -1;
  std::string output;    // what it wrote to standard output and error
};

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace lvpack
