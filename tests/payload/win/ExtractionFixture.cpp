#include "ExtractionFixture.h"

#include <algorithm>

#include "dcl/Dcl.h"
#include "payload/FileStream.h"

namespace lvtest {

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes PatternBytes(std::size_t size, std::uint8_t seed) {
  Bytes bytes(size);
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    // Runs of repeated text keep the imploded form small but not trivial.
    bytes[i] = (i / 64) % 3 == 0 ? static_cast<std::uint8_t>("lumivane"[i % 8])
                                 : static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

PackageBuilder::PackageBuilder() {
  payload::SetScreenSaverName(block_.header, "Night");
  block_.header.contentKind = payload::kContentMovieAlt;
  // Slot 1 is always extracted by ReadPayloadTable; most tests need no real library.
  Stored(payload::kSlotDecompressor, "impborl.dat", 4, BytesOf("no library here"));
}

payload::PayloadRecord& PackageBuilder::Add(int slot, const std::string& name, int destination,
                                            const Bytes& stored) {
  payload::PayloadRecord& record = Record(slot);
  record = payload::PayloadRecord{};
  record.SetName(name);
  record.destination = destination;
  const auto first = static_cast<std::int32_t>(kImageSize + payload::kBlockSize + data_.size());
  record.firstByte = first;
  record.lastByte = first + static_cast<std::int32_t>(stored.size()) - 1;
  record.unpackedSize = static_cast<std::int32_t>(stored.size());
  data_.insert(data_.end(), stored.begin(), stored.end());
  return record;
}

payload::PayloadRecord& PackageBuilder::Stored(int slot, const std::string& name, int destination,
                                               const Bytes& bytes) {
  return Add(slot, name, destination, bytes);
}

payload::PayloadRecord& PackageBuilder::Compressed(int slot, const std::string& name,
                                                   int destination, const Bytes& original) {
  const dcl::ImplodeResult imploded = dcl::ImplodeBuffer(original, dcl::kBinary, dcl::kDict4096);
  EXPECT_EQ(imploded.code, rc::kDclOk);
  payload::PayloadRecord& record = Add(slot, name, destination, imploded.data);
  record.compressed = 1;
  record.packedSize = static_cast<std::uint32_t>(imploded.data.size());
  record.unpackedSize = static_cast<std::int32_t>(original.size());
  return record;
}

void PackageBuilder::RealDecompressor() {
  const Bytes library = ReadAll(ProgramFolder() + L"impborl.dat");
  ASSERT_FALSE(library.empty()) << "impborl.dat missing beside the test program";
  Stored(payload::kSlotDecompressor, "impborl.dat", 4, library);
}

Bytes PackageBuilder::Build() const {
  Bytes file(kImageSize, 'M');
  const auto table = payload::SerializeBlock(block_);
  file.insert(file.end(), table.begin(), table.end());
  file.insert(file.end(), data_.begin(), data_.end());
  return file;
}

void PackageBuilder::WriteTo(const std::wstring& path) const { WriteAll(path, Build()); }

bool FileExistsAt(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Bytes ReadAll(const std::wstring& path) {
  FileStream file;
  Bytes bytes;
  if (file.OpenRead(path) != rc::kOk) return bytes;
  std::int64_t size = 0;
  file.Size(size);
  bytes.resize(static_cast<std::size_t>(size));
  std::uint32_t got = 0;
  ReadExactly(file, bytes.data(), static_cast<std::uint32_t>(size), got);
  bytes.resize(got);
  return bytes;
}

void WriteAll(const std::wstring& path, const Bytes& bytes) {
  FileStream file;
  ASSERT_EQ(file.Create(path), rc::kOk) << "cannot create test file";
  ASSERT_EQ(file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())), rc::kOk);
}

namespace {
void ListInto(const std::wstring& folder, const std::wstring& prefix,
              std::vector<std::wstring>& out) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    out.push_back(prefix + name);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      ListInto(folder + name + L"\\", prefix + name + L"\\", out);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
}

std::wstring UniqueRoot() {
  static unsigned counter = 0;
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  return std::wstring(temp) + L"lvx" + std::to_wstring(GetCurrentProcessId()) + L"_" +
         std::to_wstring(++counter) + L"\\";
}
}  // namespace

std::vector<std::wstring> ListTree(const std::wstring& folder) {
  std::vector<std::wstring> out;
  ListInto(folder, L"", out);
  std::sort(out.begin(), out.end());
  return out;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

LockedFile::LockedFile(const std::wstring& path)
    : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

LockedFile::~LockedFile() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

void ExtractionTest::SetUp() {
  root_ = UniqueRoot();
  work_ = root_ + L"work\\";
  system_ = root_ + L"system\\";
  data_ = system_ + L"Night dir\\";
  for (const std::wstring* folder : {&root_, &work_, &system_, &data_})
    ASSERT_TRUE(CreateDirectoryW(folder->c_str(), nullptr)) << "cannot create test folder";
  WorkFolder = work_;
  SystemFolder = system_;
  PackageCopyPath = work_ + L"temp.dat";
  ScreenSaverName = L"Night";
  SaverDataFolder = data_;
  SaverDataFilePath = work_ + L"Night.ssd";
  Payload = payload::PayloadBlock{};
  PayloadOffset = kImageSize;
  payload::SetPackageReporter(this);
  SetBoxResponder([this](BoxKind kind, const std::wstring& text, BoxButtons) {
    boxes_.push_back({kind, text});
    return BoxAnswer::Abort;
  });
}

void ExtractionTest::TearDown() {
  SetBoxResponder(nullptr);
  payload::SetPackageReporter(nullptr);
  DeleteFolderTree(root_);
}

void ExtractionTest::ShowStatus(const std::wstring& text) {
  statusTexts_.push_back(text);
  if (onStatus_) onStatus_(statusTexts_.size());
}

rc::Result ExtractionTest::InstallPackage(const PackageBuilder& package) {
  package.WriteTo(PackageCopyPath);
  return ReadPayloadTable();
}

rc::Result ExtractionTest::ExtractSlot(int slot, bool showStatus) {
  FileStream package;
  EXPECT_EQ(package.OpenRead(PackageCopyPath), rc::kOk);
  return ExtractPayloadFile(package, slot, showStatus);
}

}  // namespace lvtest
