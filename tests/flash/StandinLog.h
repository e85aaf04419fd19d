// The stand-in player's call log (LV_FLASH_STANDIN_LOG, UTF-8): one line
// "<pid>.<control> <call>" per call, read back as the calls of each control.
#pragma once

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

// How the stand-in logs an ambient font of `points` points asking for `face`:
// the face the system realises for it (a substitute where the face is
// missing), in UTF-8, and the size.
inline std::string AmbientFontText(const wchar_t* face, int points) {
  HDC screen = GetDC(nullptr);
  HFONT font = CreateFontW(-MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE,
                           FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH, face);
  HGDIOBJ old = SelectObject(screen, font);
  wchar_t realised[LF_FACESIZE] = {};
  GetTextFaceW(screen, LF_FACESIZE, realised);
  SelectObject(screen, old);
  DeleteObject(font);
  ReleaseDC(nullptr, screen);
  char utf8[4 * LF_FACESIZE] = {};
  WideCharToMultiByte(CP_UTF8, 0, realised, -1, utf8, sizeof utf8, nullptr, nullptr);
  return std::string(utf8) + " " + std::to_string(points);
}

class StandinLog {
 public:
  using Calls = std::vector<std::string>;

  static StandinLog Read(const std::filesystem::path& path) {
    StandinLog log;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
      const std::size_t space = line.find(' ');
      if (space == std::string::npos) continue;
      log.callsOf(line.substr(0, space)).push_back(line.substr(space + 1));
    }
    return log;
  }

  // The calls of the last control that received `call`; empty when none did.
  Calls lastWith(const std::string& call) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
      if (std::find(it->second.begin(), it->second.end(), call) != it->second.end()) return it->second;
    return {};
  }

  // `calls` without the calls not named in `kept`, in their order.
  static Calls Only(const Calls& calls, const Calls& kept) {
    Calls out;
    for (const auto& c : calls)
      if (std::find(kept.begin(), kept.end(), c) != kept.end()) out.push_back(c);
    return out;
  }

  // The first call that starts with `prefix`; empty when none does.
  static std::string Starting(const Calls& calls, const std::string& prefix) {
    for (const auto& c : calls)
      if (c.rfind(prefix, 0) == 0) return c;
    return {};
  }

 private:
  Calls& callsOf(const std::string& control) {
    for (auto& c : controls_)
      if (c.first == control) return c.second;
    controls_.emplace_back(control, Calls{});
    return controls_.back().second;
  }
  std::vector<std::pair<std::string, Calls>> controls_;  // in order of first appearance
};
