// Faults during an installation, end to end under Wine: a disk that fills up, a
// read-only system folder, a locked file in the data folder, a locked
// system.ini, an uninstall key that denies access, and Cancel pressed at every
// status text. Each must end with a clear code and leave the machine as it was,
// except system.ini, whose screen-saver entry the installation may leave.
// run-faults.sh prepares what Windows cannot: the small drive T: and the
// read-only system folder (LV_FAULTS_READONLY=1).
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>

#include "payload/PayloadFormat.h"
#include "system/ResultCodes.h"
#include "tests/helper/DenyingAcl.h"
#include "tests/hostile/HostileSupport.h"

namespace hostile {
namespace {

constexpr DWORD kLimitMs = 30000;
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr std::int32_t kErrorSharingViolation = 32;
constexpr std::int32_t kErrorDiskFull = 112;
constexpr std::int32_t kErrorWriteFault = 29;

std::string CaseName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// A file opened with no sharing at all for as long as the object lives.
class LockedFile {
 public:
  explicit LockedFile(const fs::path& path)
      : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~LockedFile() {
    if (locked()) CloseHandle(handle_);
  }
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  bool locked() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// Denies creating subkeys and setting values on an existing key for everyone
// (reading stays allowed); the key's own security comes back on destruction.
class DenyingKey {
 public:
  DenyingKey(HKEY root, const std::wstring& path) {
    // A fresh machine may lack the key under one root: it is made first.
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, READ_CONTROL | WRITE_DAC, nullptr, &key_, nullptr) !=
        ERROR_SUCCESS)
      return;
    DWORD size = 0;
    RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
    saved_.resize(size);
    if (size == 0 || RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS)
      return;
    denied_ = testacl::DenyToEveryone(key_, KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                                      KEY_READ | WRITE_DAC | DELETE);
  }
  ~DenyingKey() {
    if (denied_) RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data());
    if (key_ != nullptr) RegCloseKey(key_);
  }
  DenyingKey(const DenyingKey&) = delete;
  DenyingKey& operator=(const DenyingKey&) = delete;
  bool denied() const { return denied_; }

 private:
  HKEY key_ = nullptr;
  std::vector<BYTE> saved_;
  bool denied_ = false;
};

class Fault : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (fs::exists(SystemFolder() / "Warmup Saver.scr")) return;
    const fs::path folder = CaseFolder("warmup");
    lvpack::InstallerFile installer = Assemble(SilentPackage(folder, "Warmup Saver"), folder / "setup.exe");
    Save(installer);
    const Outcome outcome = RunInstaller(installer.path, kLimitMs);
    ASSERT_TRUE(outcome.ended && outcome.exitCode == 0) << Describe(outcome);
  }

  void SetUp() override {
    saverName_ = "Fault " + CaseName();
    if (saverName_.size() > 60) saverName_.resize(60);
    folder_ = CaseFolder(CaseName());
    installer_ = Assemble(SilentPackage(folder_, saverName_), folder_ / "setup.exe");
  }

  // Runs the installer; afterwards `changed` lists what differs from before,
  // system.ini aside.
  Outcome Run(const std::vector<std::wstring>& environment = {}) {
    Save(installer_);
    const Snapshot before = TakeSnapshot();
    const Outcome outcome = RunInstaller(installer_.path, kLimitMs, {}, environment);
    after_ = TakeSnapshot();
    changed_ = Compare(before, after_, IsSystemIni);
    std::printf("%s: %s\n", CaseName().c_str(), Describe(outcome).c_str());
    EXPECT_TRUE(outcome.ended) << Describe(outcome);
    return outcome;
  }

  // Expects `code` and an unchanged machine (system.ini aside): the rollback.
  void RunExpecting(std::int32_t code) {
    const Outcome outcome = Run();
    EXPECT_TRUE(ReportsCode(outcome, code)) << "expected code " << code << "; " << Describe(outcome);
    EXPECT_TRUE(changed_.empty()) << "changed:\n" << Join(changed_);
  }

  // Changes outside the saver's own places.
  std::vector<std::wstring> ChangedElsewhere() const {
    std::vector<std::wstring> out;
    for (const auto& line : changed_)
      if (!IsSaverPlace(line.substr(2), saverName_)) out.push_back(line);
    return out;
  }

  Snapshot after_;
  std::vector<std::wstring> changed_;

  fs::path DataFolder() const { return SystemFolder() / (saverName_ + " dir"); }

  std::string saverName_;
  fs::path folder_;
  lvpack::InstallerFile installer_;
};

// The work folder on a drive with little room: the package copy fits, the data
// file extracted beside it does not.
TEST_F(Fault, DiskFullDuringExtraction) {
  const fs::path drive = L"T:\\";
  ULARGE_INTEGER freeBytes{};
  if (!GetDiskFreeSpaceExW(drive.c_str(), &freeBytes, nullptr, nullptr))
    GTEST_SKIP() << "no small drive T: (run-faults.sh mounts one)";
  // A data file with 3 MB of varied bytes (they stay that size in the package).
  Bytes big(3u << 20);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
  WriteBytes(folder_ / "content" / "big.dat", big);
  installer_ = Assemble(SilentPackage(folder_, saverName_), folder_ / "setup.exe");

  const fs::path work = drive / "work";
  fs::create_directories(work);
  // Fill the drive so that the package copy and the files of the start-up (the
  // player setup and the decompressor, 1.6 MB) fit, and 1 MB more; the 3 MB
  // data file extracted during the installation does not.
  const std::uint64_t keep = installer_.bytes.size() + (2600u << 10);
  GetDiskFreeSpaceExW(drive.c_str(), &freeBytes, nullptr, nullptr);
  ASSERT_GT(freeBytes.QuadPart, keep) << "the small drive is too small for this package";
  const fs::path filler = drive / "filler.bin";
  {
    HANDLE f = CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    std::vector<char> zeros(1 << 16, 'F');
    std::uint64_t left = freeBytes.QuadPart - keep;
    while (left > 0) {
      DWORD n = static_cast<DWORD>(std::min<std::uint64_t>(left, zeros.size())), written = 0;
      if (!WriteFile(f, zeros.data(), n, &written, nullptr) || written == 0) break;
      left -= written;
    }
    CloseHandle(f);
  }
  Outcome outcome = Run({L"TEMP=" + work.wstring(), L"TMP=" + work.wstring()});
  // Wine reports a full disk as "cannot write" (29) or "disk full" (112).
  EXPECT_TRUE(ReportsCode(outcome, kErrorDiskFull) || ReportsCode(outcome, kErrorWriteFault)) << Describe(outcome);
  EXPECT_TRUE(changed_.empty()) << "changed:\n" << Join(changed_);
  EXPECT_TRUE(fs::is_empty(work)) << "the work folder was left on the full drive";
  DeleteFileW(filler.c_str());
}

TEST_F(Fault, ReadOnlySystemFolder) {
  const char* prepared = std::getenv("LV_FAULTS_READONLY");
  if (prepared == nullptr || std::string(prepared) != "1")
    GTEST_SKIP() << "the system folder is writable (run-faults.sh makes it read-only)";
  RunExpecting(rc::kAccessDenied);
}

// A file of the same name already sits, locked, in a data folder of the saver's
// name. By design a destination that cannot be removed stays in place and
// counts as extracted (code -32 becomes 0, no message): the installation
// succeeds around it, the locked file keeps its content, and nothing changes
// outside the saver's places.
TEST_F(Fault, LockedFileInTheDataFolderStaysAndCountsAsExtracted) {
  fs::create_directories(DataFolder());
  WriteBytes(DataFolder() / "readme.txt", Bytes(10, 'L'));
  Outcome outcome;
  {
    LockedFile lock(DataFolder() / "readme.txt");
    ASSERT_TRUE(lock.locked());
    outcome = Run();
  }
  EXPECT_TRUE(ReportsCode(outcome, rc::kOk)) << Describe(outcome);
  EXPECT_EQ(fs::file_size(DataFolder() / "readme.txt"), 10u) << "the locked file was replaced";
  EXPECT_TRUE(ChangedElsewhere().empty()) << Join(ChangedElsewhere());
}

// An installed saver program of the same name is locked (the saver is running):
// it cannot be replaced (-38), the installation stops, and what was there stays.
TEST_F(Fault, LockedSaverProgramStopsTheInstallation) {
  const fs::path program = SystemFolder() / (saverName_ + ".scr");
  WriteBytes(program, Bytes(100, 'O'));
  {
    LockedFile lock(program);
    ASSERT_TRUE(lock.locked());
    RunExpecting(rc::kSaverOverwriteFailed);
  }
  EXPECT_EQ(fs::file_size(program), 100u);
  DeleteFileW(program.c_str());
}

// Making the saver current fails: by design a failed registration neither stops
// the installation nor removes the saver, and its code is the result.
TEST_F(Fault, LockedSystemIni) {
  const std::wstring entry = CurrentSaverEntry();
  Outcome outcome;
  {
    LockedFile lock(WindowsFolder() / "system.ini");
    ASSERT_TRUE(lock.locked());
    outcome = Run();
  }
  EXPECT_TRUE(ReportsCode(outcome, kErrorSharingViolation)) << Describe(outcome);
  EXPECT_EQ(CurrentSaverEntry(), entry) << "system.ini was changed while locked";
  EXPECT_TRUE(ChangedElsewhere().empty()) << Join(ChangedElsewhere());
  EXPECT_TRUE(fs::exists(SystemFolder() / (saverName_ + ".scr")));
}

// The uninstall entry cannot be written under either root (its key exists and
// denies setting values, as for a user without the rights): by design the
// installation still succeeds; only the saver's own places change and the
// denying keys stay as they were, without values.
TEST_F(Fault, UninstallKeyDeniesAccess) {
  const std::wstring entryKey = std::wstring(kUninstallKey) + L"\\" + Widen(saverName_);
  Outcome outcome;
  {
    DenyingKey machine(HKEY_LOCAL_MACHINE, entryKey);
    DenyingKey user(HKEY_CURRENT_USER, entryKey);
    ASSERT_TRUE(machine.denied() && user.denied());
    outcome = Run();
  }
  EXPECT_TRUE(ReportsCode(outcome, rc::kOk)) << Describe(outcome);
  EXPECT_TRUE(ChangedElsewhere().empty()) << Join(ChangedElsewhere());
  for (const auto& line : changed_) EXPECT_EQ(line.find(L"reg "), std::wstring::npos) << Narrow(line);
  EXPECT_TRUE(fs::exists(SystemFolder() / (saverName_ + ".scr")));
}

// --- Cancel at every pause point -----------------------------------------------------

// The installer window's controls, found by class and caption.
struct FormControls {
  HWND form = nullptr;
  HWND install = nullptr;
  HWND cancel = nullptr;
  HWND done = nullptr;
  std::vector<HWND> labels;
};

std::wstring Text(HWND w) {
  wchar_t text[512] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 300, &ignored);
  return text;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  auto* c = reinterpret_cast<FormControls*>(param);
  wchar_t cls[64] = {};
  GetClassNameW(child, cls, 64);
  const std::wstring text = Text(child);
  if (std::wstring(cls) == L"Button") {
    if (text == L"インストール" || text == L"了承/インストール") c->install = child;
    else if (text == L"キャンセル") c->cancel = child;
    else if (text == L"閉じる") c->done = child;
  } else if (std::wstring(cls) == L"Static") {
    c->labels.push_back(child);
  }
  return TRUE;
}

FormControls Controls(DWORD pid) {
  FormControls c;
  c.form = FindProcessWindow(pid, L"TInstallerForm");
  if (c.form != nullptr) EnumChildWindows(c.form, CollectChild, reinterpret_cast<LPARAM>(&c));
  return c;
}

std::wstring StatusText(const FormControls& c) {
  std::wstring all;
  for (HWND label : c.labels)
    if (IsWindowVisible(label)) all += Text(label) + L"|";
  return all;
}

// Drives a windowed installation: presses Install once the window is ready,
// notes every status text seen while Cancel is shown, presses Cancel when the status shows
// `cancelAt` (empty: never), and closes the window once the status has stayed
// the same for a second after the cancel, or when the program shows its Close
// button.
struct CancelDriver {
  std::wstring cancelAt;
  bool installPressed = false;
  bool cancelPressed = false;
  DWORD lastChange = 0;
  DWORD lastClose = 0;
  std::vector<std::wstring> texts;

  void operator()(DWORD pid) {
    const FormControls c = Controls(pid);
    if (c.form == nullptr) return;
    if (!installPressed) {
      if (c.install != nullptr && IsWindowVisible(c.install) && IsWindowEnabled(c.install)) {
        PostMessageW(c.install, BM_CLICK, 0, 0);
        installPressed = true;
        lastChange = GetTickCount();
      }
      return;
    }
    // Texts count only while Cancel is on screen: the installation is running.
    const bool running = c.cancel != nullptr && IsWindowVisible(c.cancel) && IsWindowEnabled(c.cancel);
    const std::wstring status = StatusText(c);
    if (running && (texts.empty() || texts.back() != status)) {
      texts.push_back(status);
      lastChange = GetTickCount();
      if (!cancelPressed && !cancelAt.empty() && status == cancelAt) {
        PostMessageW(c.cancel, BM_CLICK, 0, 0);
        cancelPressed = true;
      }
    }
    const bool finished = c.done != nullptr && IsWindowVisible(c.done);
    const bool settled = cancelPressed && GetTickCount() - lastChange > 1000;
    if ((finished || settled) && GetTickCount() - lastClose > 2000) {
      PostMessageW(c.form, WM_CLOSE, 0, 0);
      lastClose = GetTickCount();
    }
  }
};

// A windowed package (a small picture), so that the installer shows its status.
class CancelAtPause : public Fault {
 protected:
  void MakeWindowed(const std::string& name) {
    saverName_ = name;
    installer_ = Assemble(SilentPackage(folder_, saverName_), folder_ / "setup.exe");
    installer_.block.header.contentKind = payload::kContentBitmap;
    Bytes bmp(54 + 40 * 20 * 3, 0);  // 40 x 20, 24 bits
    bmp[0] = 'B';
    bmp[1] = 'M';
    auto put32 = [&](std::size_t at, std::uint32_t v) {
      for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(2, static_cast<std::uint32_t>(bmp.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 40);
    put32(22, 20);
    bmp[26] = 1;
    bmp[28] = 24;
    auto& presentation = *installer_.block.Slot(payload::kSlotPresentation);
    ASSERT_TRUE(presentation.SetName("picture.bmp"));
    presentation.destination = 7;
    presentation.compressed = 0;
    ReplaceSlotData(installer_, payload::kSlotPresentation, bmp);
    Save(installer_);
  }
};

TEST_F(CancelAtPause, EveryStatusTextLeavesNothingBehind) {
  // A full run first: which status texts does an installation show, and what
  // does a complete installation change?
  MakeWindowed("Cancel Saver Full");
  CancelDriver discovery;
  const Snapshot beforeFull = TakeSnapshot();
  Outcome outcome = RunInstaller(installer_.path, kLimitMs, std::ref(discovery), {}, 5);
  const std::size_t completeChanges = Compare(beforeFull, TakeSnapshot(), IsSystemIni).size();
  ASSERT_TRUE(outcome.ended) << Describe(outcome);
  ASSERT_EQ(outcome.exitCode, 0u) << Describe(outcome);
  ASSERT_TRUE(fs::exists(SystemFolder() / (saverName_ + ".scr")));
  std::vector<std::wstring> texts;
  for (const auto& t : discovery.texts)
    if (!t.empty() && t != L"|" && std::find(texts.begin(), texts.end(), t) == texts.end()) texts.push_back(t);
  std::printf("status texts of a full installation:\n");
  for (const auto& t : texts) std::printf("  %s\n", Narrow(t).c_str());
  ASSERT_GE(texts.size(), 2u) << "too few status texts were seen";

  // Then one installation per text, of a saver of its own name, cancelled there.
  int cancelled = 0;
  int tooLate = 0;
  for (std::size_t at = 0; at < texts.size(); ++at) {
    SCOPED_TRACE("cancel at " + Narrow(texts[at]));
    MakeWindowed("Cancel Saver " + std::to_string(at));
    CancelDriver driver;
    driver.cancelAt = texts[at];
    const Snapshot before = TakeSnapshot();
    outcome = RunInstaller(installer_.path, kLimitMs, std::ref(driver), {}, 5);
    const Snapshot after = TakeSnapshot();
    std::printf("cancel at %s: %s; cancel %s\n", Narrow(texts[at]).c_str(), Describe(outcome).c_str(),
                driver.cancelPressed ? "pressed" : "not pressed (text not seen, or Cancel already gone)");
    EXPECT_TRUE(outcome.ended) << Describe(outcome);
    if (!driver.cancelPressed) continue;
    ++cancelled;
    const auto changed = Compare(before, after, IsSystemIni);
    if (outcome.exitCode == 0 && !changed.empty()) {
      // Cancel came after the last point where the installation looks for it:
      // the installation is then complete, never half done.
      ++tooLate;
      EXPECT_EQ(changed.size(), completeChanges) << "a partial installation:\n" << Join(changed);
      for (const auto& line : changed) EXPECT_TRUE(IsSaverPlace(line.substr(2), saverName_)) << Narrow(line);
    } else {
      EXPECT_FALSE(fs::exists(SystemFolder() / (saverName_ + ".scr"))) << "the saver program was left";
      EXPECT_FALSE(fs::exists(DataFolder())) << "the data folder was left";
      EXPECT_TRUE(changed.empty()) << "changed:\n" << Join(changed);
    }
  }
  std::printf("cancel honoured at %d of %d texts, too late at %d\n", cancelled - tooLate, cancelled, tooLate);
  EXPECT_LE(tooLate, 1) << "only the last text may come after the last cancel point";
  EXPECT_GE(cancelled, static_cast<int>(texts.size()) - 1) << "Cancel could not be pressed at most texts";
}


// --- Killed at any point ------------------------------------------------------------
// An installation ended at many points, then a check run (the same package with
// an empty player-setup slot: its start-up undoes a dead installation, then
// stops with -531) and a complete silent run of the same installer.

// Snapshot items without the files' write times: an installation done again gives the same.
std::map<std::wstring, std::wstring> Timeless(const Snapshot& snapshot) {
  std::map<std::wstring, std::wstring> items = snapshot.items;
  for (auto& [item, print] : items)
    if (const std::size_t time = print.find(L" time "); time != std::wstring::npos) print.erase(time, 22);
  return items;
}

// Work folders, journals, set-aside and temporary files anywhere.
std::string Leftovers(const Snapshot& snapshot) {
  std::wstring work = L"file " + TempFolder().wstring() + L"\\lvf";
  for (wchar_t& c : work) c = static_cast<wchar_t>(towlower(c));
  std::string found;
  for (const auto& [item, print] : snapshot.items)
    for (const wchar_t* mark : {work.c_str(), L".lvtmp", L"~lvold", L"~lvdel", L".lvj"})
      if (item.find(mark) != std::wstring::npos) found += Narrow(item) + "\n";
  return found;
}

// The uninstall entry and system.ini agree with the program file.
bool Agree(const std::string& name) {
  const fs::path program = SystemFolder() / (name + ".scr");
  const std::wstring key = std::wstring(kUninstallKey) + L"\\" + Widen(name);
  bool entry = false;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) continue;
    entry = true;
    RegCloseKey(opened);
  }
  wchar_t shortPath[MAX_PATH] = L"";
  const bool installed = GetShortPathNameW(program.c_str(), shortPath, MAX_PATH) != 0;
  return entry == installed && installed == (lstrcmpiW(CurrentSaverEntry().c_str(), shortPath) == 0);
}

struct Installers {
  lvpack::InstallerFile older, normal, killable, check;
};

// The installers of one saver; its older version differs in every file's size.
Installers MakeInstallers(const std::string& name) {
  const fs::path folder = CaseFolder(name);
  fs::create_directories(folder / "new");
  fs::create_directories(folder / "old");
  Installers set;
  lvpack::PackagePlan plan = SilentPackage(folder / "new", name);
  set.normal = Assemble(plan, folder / "setup.exe");
  set.check = Assemble(plan, folder / "check.exe");
  set.check.block.Slot(payload::kSlotFlashSetup)->nameLength = 0;
  const char* image = std::getenv("LV_KILLABLE_IMAGE");  // a Unix path, seen as Z:
  std::string killable = image != nullptr ? image : "";
  std::replace(killable.begin(), killable.end(), '/', '\\');
  plan.image = "Z:" + killable;
  set.killable = Assemble(plan, folder / "killable.exe");
  const lvpack::PackagePlan older = SilentPackage(folder / "old", name);
  WriteBytes(folder / "old" / "saver.scr", Bytes(3000, 'O'));
  WriteBytes(folder / "old" / "content" / "scene.dat", Bytes(100, 'o'));
  WriteBytes(folder / "old" / "content" / "only old.txt", Bytes(7, 'x'));
  set.older = Assemble(older, folder / "older.exe");
  for (auto* installer : {&set.normal, &set.check, &set.killable, &set.older}) Save(*installer);
  return set;
}

// How many changes a complete run of the killable installer makes.
long CountChanges(const Installers& set) {
  const fs::path count = set.killable.path.parent_path() / "changes.txt";
  const Outcome outcome = RunInstaller(set.killable.path, kLimitMs, {}, {L"LV_CHANGES_FILE=" + count.wstring()});
  EXPECT_EQ(outcome.exitCode, 0u) << Describe(outcome);
  long changes = 0;
  std::ifstream(count) >> changes;
  return changes;
}

TEST_F(Fault, KillPointsEndBeforeOrAfterOnTheNextRun) {
  const Installers fresh = MakeInstallers("Kill RF");
  const long freshChanges = CountChanges(fresh);
  const Installers over = MakeInstallers("Kill RO");
  ASSERT_EQ(RunInstaller(over.older.path, kLimitMs).exitCode, 0u);
  const long overChanges = CountChanges(over);
  std::printf("changes of a complete installation: %ld fresh, %ld over an older copy\n", freshChanges, overChanges);
  ASSERT_GT(freshChanges, 20);

  struct Row {
    bool olderCopy;
    long changes;  // ended just before change N + 1; -1: ended at `ms` instead
    DWORD ms;
  };
  std::vector<Row> rows;
  constexpr int kSteps = 11;
  for (int i = 0; i <= kSteps; ++i) {  // the last point comes just before the last change
    rows.push_back({false, (freshChanges - 1) * i / kSteps, 0});
    rows.push_back({true, (overChanges - 1) * i / kSteps, 0});
  }
  for (const DWORD ms : {150u, 400u, 700u, 1000u}) rows.push_back({ms % 200 == 0, -1, ms});

  int sawBefore = 0, sawAfter = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const Row& row = rows[r];
    char name[32];
    std::snprintf(name, sizeof name, "Kill %02zu", r);
    SCOPED_TRACE(name);
    const Installers set = MakeInstallers(name);
    if (row.olderCopy) {
      ASSERT_EQ(RunInstaller(set.older.path, kLimitMs).exitCode, 0u);
    }
    const Snapshot before = TakeSnapshot();
    const Outcome killed =
        row.changes >= 0
            ? RunInstaller(set.killable.path, kLimitMs, {}, {L"LV_KILL_AFTER_CHANGES=" + std::to_wstring(row.changes)})
            : RunInstaller(set.normal.path, row.ms);
    const Outcome check = RunInstaller(set.check.path, kLimitMs);
    const Snapshot checked = TakeSnapshot();
    const bool checkedAgree = Agree(name);
    const Outcome rerun = RunInstaller(set.normal.path, kLimitMs);
    const Snapshot after = TakeSnapshot();

    const bool isBefore = Timeless(checked) == Timeless(before);
    const bool isAfter = Timeless(checked) == Timeless(after);
    sawBefore += isBefore;
    sawAfter += isAfter;
    std::printf("%s %-10s ended %-9s %-38s check %d: %s\n", name, row.olderCopy ? "over older" : "fresh",
                (row.changes >= 0 ? "@" + std::to_string(row.changes) : std::to_string(row.ms) + " ms").c_str(),
                Describe(killed).c_str(), static_cast<std::int32_t>(check.exitCode),
                isBefore ? "before" : isAfter ? "after" : "NEITHER");
    EXPECT_TRUE(isBefore || isAfter) << "against before:\n" << Join(Compare(before, checked, {}))
                                     << "against after:\n" << Join(Compare(after, checked, {}));
    EXPECT_EQ(static_cast<std::int32_t>(check.exitCode), rc::kEmptySlot) << Describe(check);
    EXPECT_EQ(rerun.exitCode, 0u) << Describe(rerun);
    EXPECT_EQ(Leftovers(checked) + Leftovers(after), "");
    EXPECT_TRUE(checkedAgree && Agree(name));
    for (const auto& line : Compare(before, after, {}))  // "~ item (print -> print)"
      EXPECT_TRUE(IsSaverPlace(line.substr(2, line.find(L" (") - 2), name)) << Narrow(line);
    EXPECT_EQ(fs::file_size(SystemFolder() / (std::string(name) + ".scr")), 4000u);
    EXPECT_FALSE(fs::exists(SystemFolder() / (std::string(name) + " dir") / "only old.txt"));
  }
  std::printf("%zu kill points: %d ended as before, %d as after\n", rows.size(), sawBefore, sawAfter);
}

}  // namespace
}  // namespace hostile
