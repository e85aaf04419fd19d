// The lvpack command line: exit codes, messages, help, atomic output.
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "tests/tools/LvpackFixture.h"
#include "tools/lvpack/Installer.h"

namespace {

struct RunResult {
  int exitCode = -1;
  std::string output;  // stdout and stderr
};

class LvpackCliTest : public LvpackTest {
 protected:
  RunResult Run(const std::string& arguments) const {
    const std::string command =
        "cd '" + root_.string() + "' && '" LVPACK_EXE "' " + arguments + " 2>&1";
    RunResult r;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) r.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
  }
};

TEST_F(LvpackCliTest, BuildListVerifyExtract) {
  SaveManifest();
  const RunResult build = Run("build package.json -o setup.exe");
  ASSERT_EQ(0, build.exitCode) << build.output;
  const RunResult list = Run("list setup.exe");
  ASSERT_EQ(0, list.exitCode) << list.output;
  EXPECT_NE(std::string::npos, list.output.find("saverName      Night Saver")) << list.output;
  EXPECT_NE(std::string::npos, list.output.find("Night Saver.scr")) << list.output;
  EXPECT_NE(std::string::npos, list.output.find("contentKind    3 (movie)")) << list.output;
  const RunResult verify = Run("verify setup.exe");
  EXPECT_EQ(0, verify.exitCode) << verify.output;
  const RunResult extract = Run("extract setup.exe 6 9 -d out");
  ASSERT_EQ(0, extract.exitCode) << extract.output;
  EXPECT_EQ(Read("night.scr"), Read("out/Night Saver.scr"));
  EXPECT_EQ(Read("saver1.dll"), Read("out/saver1.dll"));
}

TEST_F(LvpackCliTest, VerifyExitsOneWithOneLinePerProblem) {
  SaveManifest();
  ASSERT_EQ(0, Run("build package.json -o setup.exe").exitCode);
  lvpack::InstallerFile f = lvpack::ParseInstaller(Path("setup.exe"), Read("setup.exe"));
  f.block.Slot(9)->unpackedSize += 5;
  f.block.Slot(10)->destination = 9;
  lvpack::StoreBlock(f);
  Write("setup.exe", f.bytes);
  const RunResult verify = Run("verify setup.exe");
  EXPECT_EQ(1, verify.exitCode) << verify.output;
  EXPECT_EQ(2, std::count(verify.output.begin(), verify.output.end(), '\n')) << verify.output;
}

TEST_F(LvpackCliTest, ManifestErrorExitsTwoAndWritesNothing) {
  manifest_["contentKind"] = "video";
  SaveManifest();
  Write("setup.exe", Bytes{1, 2, 3});
  const RunResult build = Run("build package.json -o setup.exe");
  EXPECT_EQ(2, build.exitCode);
  EXPECT_NE(std::string::npos, build.output.find("package.json: contentKind: \"video\" is not a content kind"))
      << build.output;
  EXPECT_EQ((Bytes{1, 2, 3}), Read("setup.exe"));  // the earlier file is untouched
  for (const auto& item : std::filesystem::directory_iterator(root_))
    EXPECT_EQ(std::string::npos, item.path().filename().string().find("tmp")) << item.path();
}

TEST_F(LvpackCliTest, UsageErrorsExitTwo) {
  EXPECT_EQ(2, Run("").exitCode);
  EXPECT_EQ(2, Run("frobnicate").exitCode);
  EXPECT_EQ(2, Run("build").exitCode);
  EXPECT_EQ(2, Run("extract x.exe 11 -d out").exitCode);
  const RunResult missing = Run("list nothere.exe");
  EXPECT_EQ(2, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.output.find("nothere.exe: file not found")) << missing.output;
}

TEST_F(LvpackCliTest, HelpOnEverySubcommand) {
  for (const char* sub : {"build", "list", "extract", "verify"}) {
    const RunResult help = Run(std::string(sub) + " --help");
    EXPECT_EQ(0, help.exitCode) << sub;
    EXPECT_NE(std::string::npos, help.output.find("Usage:")) << sub << help.output;
  }
  EXPECT_EQ(0, Run("--help").exitCode);
}

}  // namespace
