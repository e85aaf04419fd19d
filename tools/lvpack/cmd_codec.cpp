// lvpack implode [--ascii] [--dict 1024|2048|4096] IN OUT
// lvpack explode IN OUT
//
// Raw implode streams, as stored in compressed package records: for checking
// streams made elsewhere and for making test data.
#include <iostream>
#include <memory>
#include <string>

#include "dcl/DclBuffer.h"
#include "tools/lvpack/Commands.h"
#include "tools/lvpack/FileIo.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack::cli {
namespace {

// Data that is not a complete implode stream: the output is not written.
constexpr int kExitBadData = kExitProblems;

int RunImplodeCommand(const std::string& in, const std::string& out, bool ascii, unsigned dict) {
  const Bytes input = ReadFileBytes(PathFromUtf8(in));
  const dcl::ImplodeResult packed = dcl::ImplodeBuffer(input, ascii ? dcl::kAscii : dcl::kBinary, dict);
  if (packed.code != static_cast<unsigned>(rc::kDclOk))
    throw ToolError("implode failed with code " + std::to_string(packed.code));
  WriteFileAtomic(PathFromUtf8(out), packed.data);
  ShowProgress(std::to_string(input.size()) + " bytes imploded to " + std::to_string(packed.data.size()));
  return kExitOk;
}

int RunExplodeCommand(const std::string& in, const std::string& out) {
  const Bytes stream = ReadFileBytes(PathFromUtf8(in));
  const dcl::ExplodeResult unpacked = dcl::ExplodeBuffer(stream);
  if (unpacked.code != static_cast<unsigned>(rc::kDclOk)) {
    std::cerr << "lvpack: " << in
              << ": not a complete implode stream (bad header, cut short, or a copy before "
                 "the first byte); nothing written\n";
    return kExitBadData;
  }
  WriteFileAtomic(PathFromUtf8(out), unpacked.data);
  return kExitOk;
}

}  // namespace

void RegisterCodecCommands(CLI::App& app, Outcome& outcome) {
  CLI::App* imp = app.add_subcommand("implode", "Compress a file into a raw implode stream");
  auto impIn = std::make_shared<std::string>();
  auto impOut = std::make_shared<std::string>();
  auto ascii = std::make_shared<bool>(false);
  auto dict = std::make_shared<unsigned>(dcl::kDict4096);
  imp->add_option("IN", *impIn, "file to compress")->required();
  imp->add_option("OUT", *impOut, "stream to write")->required();
  imp->add_flag("--ascii", *ascii, "ascii literal mode (default: binary)");
  imp->add_option("--dict", *dict, "dictionary size (default 4096)")
      ->check(CLI::IsMember({dcl::kDict1024, dcl::kDict2048, dcl::kDict4096}));
  imp->callback([&outcome, impIn, impOut, ascii, dict] {
    outcome.exitCode = RunImplodeCommand(*impIn, *impOut, *ascii, *dict);
  });

  CLI::App* exp = app.add_subcommand("explode", "Decompress a raw implode stream");
  auto expIn = std::make_shared<std::string>();
  auto expOut = std::make_shared<std::string>();
  exp->add_option("IN", *expIn, "implode stream")->required();
  exp->add_option("OUT", *expOut, "file to write")->required();
  exp->callback([&outcome, expIn, expOut] { outcome.exitCode = RunExplodeCommand(*expIn, *expOut); });
}

}  // namespace lvpack::cli
