// Which package names may become files on the target machine.
#include "payload/SafeNames.h"

#include <gtest/gtest.h>

namespace payload {
namespace {

TEST(PlainFileName, OrdinaryAndJapaneseNamesPass) {
  for (const char* name : {"saver1.dll", "install.exe", "Night Saver.scr", "a", ".hidden",
                           "conx.d", "CONSOLE.txt", "COM10", "LPT0", "x..y",
                           "\x83\x5C\x83\x74\x83\x67.ssd"}) {
    EXPECT_TRUE(IsPlainFileName(name)) << name;
  }
}

TEST(PlainFileName, SeparatorsDrivesAndDotNamesFail) {
  for (const char* name : {"", ".", "..", "...", ". .", "a\\b", "a/b", "\\a", "C:", "C:a",
                           "a:b", "a?", "a*", "a<b", "a>b", "a|b", "a\"b", "a\nb"}) {
    EXPECT_FALSE(IsPlainFileName(name)) << name;
  }
}

TEST(PlainFileName, ReservedDeviceNamesFailInAnyCaseWithOrWithoutExtension) {
  for (const char* name : {"CON", "con", "PRN", "Aux", "NUL", "nul.txt", "COM1", "com9.dll",
                           "LPT1", "lpt5.scr", "CON .txt", "NUL.tar.gz", "conin$", "CONOUT$.log"}) {
    EXPECT_FALSE(IsPlainFileName(name)) << name;
  }
}

TEST(PlainFileName, DanglingLeadByteFails) {
  EXPECT_FALSE(IsPlainFileName("abc\x83"));
  EXPECT_FALSE(IsSafeRelativePath("sub\\abc\x83"));
}

TEST(SafeRelativePath, SubfoldersAreAllowed) {
  for (const char* path : {"movie.swf", "img\\a.jpg", "img/a.jpg", "a\\b\\c\\d.txt",
                           "\x83\x5C\\\x83\x5C.txt"}) {
    EXPECT_TRUE(IsSafeRelativePath(path)) << path;
  }
}

TEST(SafeRelativePath, EscapesAndAbsolutePathsFail) {
  for (const char* path : {"", "..\\x", "a\\..\\..\\x", "a/../x", "..", "\\x", "/x",
                           "\\\\server\\share\\x", "C:\\x", "C:x", "a\\", "a\\\\b", "a\\.\\b",
                           "a\\CON\\b", "a\\nul.txt"}) {
    EXPECT_FALSE(IsSafeRelativePath(path)) << path;
  }
}

}  // namespace
}  // namespace payload
