// lvpack movie FILE... [--json]
// Reads each movie exactly as the installer's panel does (signature, the
// conversion of a compressed movie in a temporary folder, the header) and
// prints what the panel would record, so that makers see before building
// whether a movie will play with the required player. Exit code 1 when a
// movie would not play.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "flash/BinaryFile.h"
#include "flash/SwfMovie.h"
#include "system/InstallerError.h"
#include "tools/lvpack/Commands.h"
#include "tools/lvpack/MovieWords.h"

namespace lvpack::cli {
namespace {

constexpr int kFileNotFound = 2;  // the system's "file not found" code

struct MovieReport {
  std::string file;
  rc::Result result = 0;
  std::string error;    // kind of a raised error; empty when none
  std::string message;  // its message
  TSwfMovie movie;
};

void ReadMovieFile(const std::string& name, MovieReport& report) {
  report.file = name;
  report.movie.swfFilename = std::filesystem::u8path(name);
  try {
    // The panel does not notice a missing file; the maker wants to.
    if (!BinaryFile::Exists(report.movie.swfFilename))
      throw InstallerError(ErrorKind::FileError, kFileNotFound, "No such file \"" + name + "\"");
    report.result = report.movie.readMovie();
  } catch (const InstallerError& e) {
    report.result = e.code();
    report.error = e.kindName();
    report.message = e.what();
  }
  if (!report.movie.tempFolder.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(report.movie.tempFolder, ec);
  }
}

// The result in words: what the installer makes of the movie.
std::string Meaning(const MovieReport& r) {
  if (!r.error.empty()) return "the installer cannot read this movie: " + r.message;
  const std::string words = DescribeMovieResult(r.result);
  return words.empty() ? "result " + std::to_string(r.result) : words;
}

nlohmann::json AsJson(const MovieReport& r) {
  const TSwfMovie& m = r.movie;
  nlohmann::json j = {{"file", r.file},
                      {"result", r.result},
                      {"signature", m.swfSignature},
                      {"swfVersion", m.swfVersion},
                      {"movieWidth", m.movieWidth},
                      {"movieHeight", m.movieHeight},
                      {"bgRed", m.bgRed},
                      {"bgGreen", m.bgGreen},
                      {"bgBlue", m.bgBlue},
                      {"allowScale", m.allowScale},
                      {"fullScreen", m.fullScreen}};
  if (!r.error.empty()) {
    j["error"] = r.error;
    j["message"] = r.message;
  }
  j["meaning"] = Meaning(r);
  return j;
}

void PrintText(const MovieReport& r) {
  const TSwfMovie& m = r.movie;
  std::cout << r.file << ":\n  result      " << r.result << " (" << Meaning(r) << ")";
  std::cout << "\n  signature   " << (m.swfSignature.empty() ? "-" : m.swfSignature)
            << "\n  swfVersion  " << int{m.swfVersion}
            << "\n  movieWidth  " << m.movieWidth << "\n  movieHeight " << m.movieHeight
            << "\n  bgRed       " << m.bgRed << "\n  bgGreen     " << m.bgGreen
            << "\n  bgBlue      " << m.bgBlue << "\n  allowScale  " << m.allowScale
            << "\n  fullScreen  " << m.fullScreen << "\n";
}

}  // namespace

void RegisterMovieCommand(CLI::App& app, Outcome& outcome) {
  CLI::App* cmd = app.add_subcommand("movie", "Read Flash movies as the installer's panel does");
  auto files = std::make_shared<std::vector<std::string>>();
  auto json = std::make_shared<bool>(false);
  cmd->add_option("FILE", *files, "movie files (.swf)")->required();
  cmd->add_flag("--json", *json, "one JSON object per file and line");
  SetExamples(*cmd, "  lvpack movie DemoSaver.swf DemoSaver-cws.swf\n  lvpack movie intro.swf --json\n");
  cmd->callback([&outcome, files, json] {
    outcome.exitCode = kExitOk;
    for (const auto& name : *files) {
      MovieReport report;
      ReadMovieFile(name, report);
      if (*json)
        std::cout << AsJson(report).dump() << "\n";
      else
        PrintText(report);
      if (report.result != 0) outcome.exitCode = kExitProblems;
    }
  });
}

}  // namespace lvpack::cli
