#include "standins/samplesaver/SaverContent.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "flash/SwfMovie.h"
#include "payload/SaverDataFormat.h"

namespace {

const wchar_t kSettingsFileName[] = L"saver.dat";
const wchar_t kDataFolderSuffix[] = L" dir\\";

// The first file in `folder` matching `pattern`, in name order.
std::wstring FirstFile(const std::wstring& folder, const wchar_t* pattern) {
  std::wstring first;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + pattern).c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return first;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (first.empty() || lstrcmpiW(entry.cFileName, first.c_str()) < 0) first = entry.cFileName;
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return first.empty() ? first : folder + first;
}

void ReadSettings(SaverContent& content) {
  HANDLE file = CreateFileW((content.dataFolder + kSettingsFileName).c_str(), GENERIC_READ,
                            FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::vector<std::uint8_t> bytes(payload::kSettingsSize);
  DWORD read = 0;
  BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  payload::SaverSettings settings;
  if (!ok || payload::ParseSettings(bytes.data(), read, settings) != rc::kOk) return;
  content.hasSettings = true;
  content.entryCount = settings.EntryCount();
  content.saverContentKind = settings.SaverContentKind();
}

void ReadMovie(SaverContent& content) {
  TSwfMovie movie;
  movie.swfFilename = std::filesystem::path(content.moviePath);
  try {
    content.movieRead = movie.readMovie() == rc::kOk && !movie.swfSignature.empty();
  } catch (...) {
    content.movieRead = false;  // a damaged movie is shown by its name on black
  }
  if (content.movieRead) {
    content.background = RGB(movie.bgRed, movie.bgGreen, movie.bgBlue);
  }
  if (!movie.tempFolder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(movie.tempFolder, ignored);
  }
}

}  // namespace

std::wstring FileNameOf(const std::wstring& path) {
  std::size_t slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

SaverContent LoadSaverContent(const std::wstring& programPath) {
  SaverContent content;
  content.programPath = programPath;
  const std::wstring fileName = FileNameOf(programPath);
  const std::wstring folder = programPath.substr(0, programPath.size() - fileName.size());
  std::size_t dot = fileName.rfind(L'.');
  content.name = dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
  content.dataFolder = folder + content.name + kDataFolderSuffix;

  ReadSettings(content);
  content.moviePath = FirstFile(content.dataFolder, L"*.swf");
  if (!content.moviePath.empty()) {
    ReadMovie(content);
  } else {
    content.picturePath = FirstFile(content.dataFolder, L"*.bmp");
    if (content.picturePath.empty()) content.picturePath = FirstFile(content.dataFolder, L"*.jpg");
  }
  return content;
}

std::wstring DescribeContent(const SaverContent& content) {
  std::wstring text = L"スクリーンセーバー: " + content.name + L"\r\n";
  text += L"データフォルダ: " + content.dataFolder + L"\r\n";
  if (!content.moviePath.empty()) {
    wchar_t colour[16];
    swprintf(colour, 16, L"#%02X%02X%02X", GetRValue(content.background),
             GetGValue(content.background), GetBValue(content.background));
    text += L"ムービー: " + FileNameOf(content.moviePath);
    text += content.movieRead ? L" (背景色 " + std::wstring(colour) + L")" : L" (読めません)";
  } else if (!content.picturePath.empty()) {
    text += L"画像: " + FileNameOf(content.picturePath);
  } else {
    text += L"内容: なし";
  }
  text += L"\r\n";
  if (content.hasSettings) {
    text += L"saver.dat: entryCount " + std::to_wstring(content.entryCount) +
            L", saverContentKind " + std::to_wstring(content.saverContentKind);
  } else {
    text += L"saver.dat: なし";
  }
  return text;
}
