// "lvpack movie": one JSON object per movie with the panel's fields.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "SwfBuilder.h"
#include "TestFolder.h"
#include "tools/lvpack/Commands.h"

namespace {

class MovieCommandTest : public TempFolderTest {
 protected:
  std::vector<nlohmann::json> run(std::vector<std::string> args, int& exitCode) {
    CLI::App app{"lvpack"};
    lvpack::cli::Outcome outcome;
    lvpack::cli::RegisterMovieCommand(app, outcome);
    args.insert(args.begin(), {"lvpack", "movie"});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    testing::internal::CaptureStdout();
    app.parse(static_cast<int>(argv.size()), argv.data());
    std::istringstream out(testing::internal::GetCapturedStdout());
    exitCode = outcome.exitCode;
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(out, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }
};

TEST_F(MovieCommandTest, ReportsEveryMovieAndLeavesNoFolder) {
  WriteFile(file("ok.swf"), SwfBuilder().version(7).frame(15, 0, 16000, 0, 12000).background(0, 0, 0)
                                .fscommand("allowscale", "no").compressed());
  WriteFile(file("new.swf"), SwfBuilder().version(8).background(0, 0, 0).plain());
  Bytes corrupt = SwfBuilder().background(1, 1, 1).compressed();
  corrupt[9] = 0;
  WriteFile(file("bad.swf"), corrupt);
  int exitCode = -1;
  auto lines = run({file("ok.swf").string(), file("new.swf").string(), file("bad.swf").string(),
                    file("absent.swf").string(), "--json"},
                   exitCode);
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(0, lines[0]["result"]);
  EXPECT_EQ("CWS", lines[0]["signature"]);
  EXPECT_EQ(7, lines[0]["swfVersion"]);
  EXPECT_EQ(800, lines[0]["movieWidth"]);
  EXPECT_EQ(600, lines[0]["movieHeight"]);
  EXPECT_EQ(0, lines[0]["bgRed"]);
  EXPECT_EQ(-2, lines[0]["allowScale"]);
  EXPECT_EQ(-1, lines[0]["fullScreen"]);
  EXPECT_FALSE(lines[0].contains("error"));
  EXPECT_EQ(-405, lines[1]["result"]);
  EXPECT_EQ("DecompressionError", lines[2]["error"]);
  EXPECT_EQ("FileError", lines[3]["error"]);
  EXPECT_EQ(1, exitCode);
  for (const auto& entry : std::filesystem::directory_iterator(root_))
    EXPECT_EQ(std::string::npos, entry.path().filename().string().find("FlashPanel"));
}

}  // namespace
