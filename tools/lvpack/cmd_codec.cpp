// lvpack implode [--ascii] [--dict 1024|2048|4096] IN OUT
// lvpack explode IN OUT
//
// Raw implode streams, as stored in compressed package records: for checking
// streams made elsewhere and for making test data.
#include <iostream>
#include <memory>
#include <string>

#include "dcl/Dcl.h"
#include "tools/lvpack/Commands.h"
#include "tools/lvpack/FileIo.h"
#include "tools/lvpack/RecordCodec.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack::cli {
namespace {

// Data that is not a complete implode stream: the output is not written.
constexpr int kExitBadData = kExitProblems;

int RunImplodeCommand(const std::string& in, const std::string& out, bool ascii, unsigned dict) {
  InputFile input(PathFromUtf8(in));
  RequireNotAnInput(PathFromUtf8(out), {input.path()});
  OutputFile output(PathFromUtf8(out));
  const std::uint64_t n = ImplodeRange(input, 0, input.Size(), output,
                                       Compression{ascii ? dcl::kAscii : dcl::kBinary, dict}, in,
                                       [](std::uint64_t done, std::uint64_t total) {
                                         ShowProgress("imploding", done, total);
                                       });
  output.Commit();
  Say(std::to_string(input.Size()) + " bytes imploded to " + std::to_string(n));
  return kExitOk;
}

int RunExplodeCommand(const std::string& in, const std::string& out) {
  InputFile input(PathFromUtf8(in));
  RequireNotAnInput(PathFromUtf8(out), {input.path()});
  OutputFile output(PathFromUtf8(out));
  const ExplodeOutcome x = ExplodeRange(input, 0, input.Size(), &output, UINT64_MAX);
  if (!x.complete) {
    Say(in + ": not a complete implode stream (bad header, cut short, or a copy before the first "
             "byte); nothing written");
    return kExitBadData;
  }
  output.Commit();
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
  SetExamples(*imp, "  lvpack implode --dict 2048 saver.scr saver.imp\n");
  imp->callback([&outcome, impIn, impOut, ascii, dict] {
    outcome.exitCode = RunImplodeCommand(*impIn, *impOut, *ascii, *dict);
  });

  CLI::App* exp = app.add_subcommand("explode", "Decompress a raw implode stream");
  auto expIn = std::make_shared<std::string>();
  auto expOut = std::make_shared<std::string>();
  exp->add_option("IN", *expIn, "implode stream")->required();
  exp->add_option("OUT", *expOut, "file to write")->required();
  SetExamples(*exp, "  lvpack explode saver.imp saver.scr\n");
  exp->callback([&outcome, expIn, expOut] { outcome.exitCode = RunExplodeCommand(*expIn, *expOut); });
}

}  // namespace lvpack::cli
