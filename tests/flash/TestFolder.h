// A fresh folder per test, used as TEMP so that "FlashPanel<n>" folders land in it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include <gtest/gtest.h>

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    root_ = Base() /
            ("lvflash-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(root_);
    SetTemp(root_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  // The machine's temporary folder, taken before any test changes TEMP.
  static const std::filesystem::path& Base() {
    static const std::filesystem::path base = std::filesystem::temp_directory_path();
    return base;
  }
  static void SetTemp(const std::filesystem::path& folder) {
#ifdef _WIN32
    _wputenv_s(L"TEMP", folder.c_str());
#else
    setenv("TEMP", folder.c_str(), 1);
#endif
  }
  std::filesystem::path file(const std::string& name) const { return root_ / name; }

  std::filesystem::path root_;
};
