#include "tests/e2e/E2eSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>

#include "payload/PayloadFormat.h"
#include "tests/helper/TestJpeg.h"
#include "tools/lvpack/Builder.h"

namespace e2e {

const std::wstring kReadyInstall = L"インストール";
const std::wstring kReadyAccept = L"了承/インストール";
const std::wstring kCancel = L"キャンセル";
const std::wstring kClose = L"閉じる";

namespace {

// The output reaches CTest through a pipe, where the C runtime buffers it: unbuffered,
// a test program that dies keeps what it printed up to then.
const bool kUnbufferedOutput = std::setvbuf(stdout, nullptr, _IONBF, 0) == 0;

std::string CurrentTestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (info == nullptr) return "run";
  return std::string(info->test_suite_name()) + "." + info->name();
}

fs::path FromUnix(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return fs::path(path);
}

std::uint32_t ImageLength(const fs::path& installer) {
  // The package follows the image, whose length the image's own field holds;
  // the record table follows the 72-byte header.
  const auto imageSize = static_cast<std::uint32_t>(fs::file_size(InstallerImage()));
  (void)installer;
  return imageSize;
}

}  // namespace

fs::path PathFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0')
    throw std::runtime_error(std::string("environment variable not set: ") + name);
  return FromUnix(value);
}

fs::path InstallerImage() { return PathFromEnvironment("LV_E2E_IMAGE"); }
fs::path Decompressor() { return PathFromEnvironment("LV_E2E_IMPBORL"); }
fs::path FlashSetup() { return PathFromEnvironment("LV_E2E_FLASHSETUP"); }
fs::path OutputFolder() { return PathFromEnvironment("LV_E2E_OUT"); }

namespace {
// The Windows version a variant of a case reports (LV_E2E_WINDOWS) is part of the names
// of its files, as the variants run side by side.
std::string VariantSuffix() {
  const char* windows = std::getenv("LV_E2E_WINDOWS");
  return windows == nullptr || *windows == '\0' ? std::string() : std::string(".") + windows;
}
}  // namespace

Workspace::Workspace(const std::string& name) {
  folder_ = OutputFolder() / "work" / (name + VariantSuffix());
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
  fs::create_directories(folder_);
}

fs::path Workspace::Write(const std::string& name, const Bytes& bytes) const {
  const fs::path path = folder_ / name;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
  return path;
}

fs::path Workspace::Write(const std::string& name, const std::string& text) const {
  return Write(name, Bytes(text.begin(), text.end()));
}

void ReportWindowsFromEnvironment() {
  const char* name = std::getenv("LV_E2E_WINDOWS");
  if (name == nullptr || *name == '\0') return;
  const std::map<std::string, DWORD> versions = {{"winxp", 501}, {"win7", 601}, {"win10", 1000}};
  ASSERT_EQ(versions.count(name), 1u) << "unknown LV_E2E_WINDOWS " << name;
  const std::wstring value(name, name + std::strlen(name));
  HKEY wine = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine", 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &wine, nullptr),
            ERROR_SUCCESS);
  const LONG set = RegSetValueExW(wine, L"Version", 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(wine);
  ASSERT_EQ(set, ERROR_SUCCESS);
  probe::Process probe;
  ASSERT_TRUE(probe.Start(PathFromEnvironment("LV_E2E_LVPROBE").wstring(), {}, {L"winver"}));
  DWORD reported = 0;
  ASSERT_TRUE(probe.WaitExit(reported));
  ASSERT_EQ(reported, versions.at(name)) << "the machine does not report " << name;
  std::printf("the machine reports Windows %s (version %lu.%lu)\n", name,
              static_cast<unsigned long>(reported / 100), static_cast<unsigned long>(reported % 100));
}

lvpack::PackagePlan BasicPlan(const Workspace& workspace, const std::string& saverName) {
  lvpack::PackagePlan plan = lvpack::DefaultPlan();
  plan.manifestPath = workspace.folder() / "manifest.json";
  plan.saverName = saverName;
  plan.contentKind = payload::kContentBitmap;
  plan.showLicense = false;
  plan.hasDocument = false;
  plan.offerDisplayProperties = false;
  plan.image = InstallerImage();
  auto& slots = plan.slots;
  slots[payload::kSlotDecompressor].file = Decompressor();
  slots[payload::kSlotFlashSetup].file = FlashSetup();
  slots[payload::kSlotPresentation].file = workspace.Write("picture.bmp", MakeBmp(200, 100));
  slots[payload::kSlotSaverProgram].file = workspace.Write("saver.scr", std::string(4000, 'S'));
  slots[payload::kSlotSaverFile].file = workspace.Write("readme.txt", std::string("saver file"));
  slots[payload::kSlotSaverFile].name = "readme.txt";
  const fs::path content = workspace.folder() / "content";
  fs::create_directories(content);
  {
    std::ofstream(content / "scene.dat", std::ios::binary) << std::string(3000, 'C');
  }
  lvpack::DataFileContent data;
  data.folder = content;
  slots[payload::kSlotSaverDataFile].content = data;
  slots[payload::kSlotEngine1].file = workspace.Write("saver1.dll", std::string(2000, '1'));
  slots[payload::kSlotEngine2].file = workspace.Write("saver2.dll", std::string(1000, '2'));
  for (auto& slot : slots) slot.compressed = false;
  return plan;
}

fs::path BuildInstaller(const Workspace& workspace, const lvpack::PackagePlan& plan,
                        const std::string& file) {
  const lvpack::Bytes bytes = lvpack::BuildInstaller(plan);
  return workspace.Write(file, bytes);
}

void EmptySlot(const fs::path& installer, int slot) {
  std::fstream io(installer, std::ios::binary | std::ios::in | std::ios::out);
  const std::uint64_t at =
      ImageLength(installer) + payload::kHeaderSize + static_cast<std::uint64_t>(slot) * payload::kRecordSize;
  io.seekp(static_cast<std::streamoff>(at));
  io.put('\0');
  if (!io) throw std::runtime_error("cannot patch " + installer.string());
}

void CutPackage(const fs::path& installer, std::uint64_t packageBytes) {
  fs::resize_file(installer, ImageLength(installer) + packageBytes);
}

Bytes MakeBmp(int width, int height) {
  const int stride = (width * 3 + 3) & ~3;
  const std::uint32_t imageSize = static_cast<std::uint32_t>(stride * height);
  Bytes bmp(54 + imageSize, 0);
  auto put32 = [&](size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, static_cast<std::uint32_t>(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  bmp[26] = 1;
  bmp[28] = 24;
  put32(34, imageSize);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &bmp[54 + static_cast<size_t>(y) * stride + x * 3];
      p[0] = static_cast<std::uint8_t>(255 * x / width);  // blue grows to the right
      p[1] = 0;
      p[2] = 200;
    }
  return bmp;
}

Bytes MakeJpeg() {
  return testjpeg::Encode(160, 80, [](int x, int, unsigned char rgb[3]) {
    rgb[0] = 20;
    rgb[1] = static_cast<unsigned char>(150 + x / 2);  // green
    rgb[2] = 40;
  });
}

void Screenshot(const std::string& name) {
  const fs::path folder = OutputFolder() / "screenshots";
  std::error_code ignored;
  fs::create_directories(folder, ignored);
  probe::SaveScreenshot((folder / (CurrentTestName() + VariantSuffix() + "-" + name + ".bmp")).wstring());
}

InstallerWindow WaitForInstaller(const probe::Process& process) {
  InstallerWindow w;
  w.form = probe::WaitForWindow(process.id(), kFormClass, L"");
  if (w.form == nullptr) return w;
  probe::Pause(300);  // let the first paint finish before anyone looks
  for (HWND child : probe::Descendants(w.form)) {
    const std::wstring cls = probe::ClassOf(child);
    const std::wstring text = probe::TextOf(child);
    if (cls == L"Button") {
      if (text == kReadyInstall || text == kReadyAccept) w.installBtn = child;
      else if (text == kCancel) w.cancelBtn = child;
      else if (text == kClose) w.doneBtn = child;
    } else if (cls == L"Static") {
      w.status = child;
    } else if (cls == L"msctls_progress32") {
      w.progress = child;
    } else if (cls == L"Edit") {
      w.license = child;
    }
  }
  return w;
}

std::vector<fs::path> WorkFolders() {
  std::vector<fs::path> found;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::path(temp), error)) {
    const std::wstring name = entry.path().filename().wstring();
    if (entry.is_directory() && name.rfind(L"LVF", 0) == 0) found.push_back(entry.path());
  }
  return found;
}

fs::path SystemFolder() {
  wchar_t path[MAX_PATH] = {};
  GetSystemDirectoryW(path, MAX_PATH);
  return fs::path(path);
}

fs::path WindowsFolder() {
  wchar_t path[MAX_PATH] = {};
  GetWindowsDirectoryW(path, MAX_PATH);
  return fs::path(path);
}

}  // namespace e2e
