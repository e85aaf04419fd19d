// What the sample screen saver shows: found in its data folder as the
// installer leaves it (saver.dat and the placed entries).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct SaverContent {
  std::wstring programPath;   // this program
  std::wstring name;          // its file name without ".scr"
  std::wstring dataFolder;    // folder + name + " dir\"

  bool hasSettings = false;   // saver.dat was there with its 1,240 bytes
  std::int32_t entryCount = 0;
  std::int32_t saverContentKind = 0;

  std::wstring moviePath;     // first movie (.swf) in the data folder
  bool movieRead = false;     // its header gave a background colour
  COLORREF background = RGB(0, 0, 0);
  std::wstring picturePath;   // else the first picture (.bmp, .jpg)
};

// The program's own name and data folder, saver.dat and the content.
SaverContent LoadSaverContent(const std::wstring& programPath);

// The file name part of a path.
std::wstring FileNameOf(const std::wstring& path);

// The text of the settings box.
std::wstring DescribeContent(const SaverContent& content);
