// A fresh folder per test with an installer-like image, a file for every slot
// (a real movie as the presentation), a content folder and a manifest naming
// them all: a package the installer can install.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/flash/SwfBuilder.h"
#include "tests/payload/PeImageBuilder.h"
#include "tools/lvpack/FileIo.h"

class LvpackTest : public ::testing::Test {
 public:
  using Bytes = lvpack::Bytes;

  void SetUp() override {
    std::random_device rd;
    root_ = std::filesystem::temp_directory_path() /
            ("lvpack-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(root_);
    Write("image.exe", testing_pe::InstallerLikeImage());
    Write("impborl.dll", Noise(12288, 1));
    Write("flashax.exe", Noise(5000, 2));
    Write("movie.swf", SwfBuilder().version(6).background(0, 0, 0).text(std::string(2600, 'm')).plain());
    Write("night.scr", Text(51200));
    Write("readme.txt", Text(777));
    Write("saver1.dll", Noise(3430, 5));
    Write("saver2.dll", Text(1819));
    Write("content/a.txt", Text(300));
    Write("content/img/b.bin", Noise(4000, 6));
    Write("content/empty.txt", Bytes());
    manifest_ = {
        {"saverName", "Night Saver"},
        {"contentKind", "movie"},
        {"image", "image.exe"},
        {"slots",
         {{"decompressor", {{"file", "impborl.dll"}}},
          {"flashSetup", {{"file", "flashax.exe"}}},
          {"presentation", {{"file", "movie.swf"}}},
          {"saver", {{"file", "night.scr"}}},
          {"saverFile", {{"file", "readme.txt"}}},
          {"dataFile", {{"content", {{"folder", "content"}, {"movieEntry", "Night.swf"}}}}},
          {"engine1", {{"file", "saver1.dll"}}},
          {"engine2", {{"file", "saver2.dll"}}}}}};
  }

  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  std::filesystem::path Path(const std::string& relative) const {
    return root_ / lvpack::PathFromUtf8(relative);
  }

  void Write(const std::string& relative, const Bytes& bytes) const {
    const auto path = Path(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  Bytes Read(const std::string& relative) const { return lvpack::ReadFileBytes(Path(relative)); }

  // Writes the manifest and returns its path.
  std::filesystem::path SaveManifest(const std::string& name = "package.json") const {
    const std::string text = manifest_.dump(2);
    Write(name, Bytes(text.begin(), text.end()));
    return Path(name);
  }

  static Bytes Noise(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(gen() >> 7);
    return b;
  }

  static Bytes Text(std::size_t n) {
    static const std::string words = "the quick screen saver jumps over the lazy desktop\r\n";
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(words[(i * 7) % words.size()]);
    return b;
  }

  std::filesystem::path root_;
  nlohmann::json manifest_;
};
