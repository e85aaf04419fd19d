// What the stand-ins recorded (tests/README.md, the player stand-ins): the
// player's call log, one line "<pid>.<control> <call>", and the setup's
// starts, one line "<pid> "<command line>" show <n>"; both UTF-8.
#pragma once

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

// The lines of a log without their first word (the process or control).
inline std::vector<std::pair<std::string, std::string>> LogLines(const std::filesystem::path& path) {
  std::vector<std::pair<std::string, std::string>> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const std::size_t space = line.find(' ');
    if (space != std::string::npos) lines.emplace_back(line.substr(0, space), line.substr(space + 1));
  }
  return lines;
}

inline std::vector<std::string> SetupStarts(const std::filesystem::path& path) {
  std::vector<std::string> starts;
  for (const auto& line : LogLines(path)) starts.push_back(line.second);
  return starts;
}

// A font of `points` points asking for `face`, made the way the installer window makes its own.
inline HFONT MakeFont(const wchar_t* face, int points) {
  HDC screen = GetDC(nullptr);
  const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
}

class StandinLog {
 public:
  using Calls = std::vector<std::string>;

  static StandinLog Read(const std::filesystem::path& path) { return StandinLog{LogLines(path)}; }

  // The calls, in order, of the last control that received `call`.
  Calls lastWith(const std::string& call) const {
    Calls calls;
    auto last = std::find_if(lines_.rbegin(), lines_.rend(), [&](const auto& l) { return l.second == call; });
    if (last == lines_.rend()) return calls;
    for (const auto& l : lines_)
      if (l.first == last->first) calls.push_back(l.second);
    return calls;
  }

  // `calls` without those not named in `kept`.
  static Calls Only(const Calls& calls, const Calls& kept) {
    Calls out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                 [&](const std::string& c) { return std::find(kept.begin(), kept.end(), c) != kept.end(); });
    return out;
  }

  // The first call that starts with `prefix`; empty when none does.
  static std::string Starting(const Calls& calls, const std::string& prefix) {
    auto found = std::find_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    return found == calls.end() ? std::string() : *found;
  }

  std::vector<std::pair<std::string, std::string>> lines_;  // control, call
};
