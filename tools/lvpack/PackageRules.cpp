#include "tools/lvpack/PackageRules.h"

#include <array>
#include <map>
#include <memory>
#include <optional>

#include "flash/SwfMovie.h"
#include "payload/SafeNames.h"
#include "payload/SaverDataFormat.h"
#include "system/Cp932.h"
#include "system/InstallerError.h"
#include "tools/lvpack/Manifest.h"
#include "tools/lvpack/PictureCheck.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack {
namespace {

using payload::FolderKind;

// Files the installer itself keeps where records land.
constexpr char kPackageCopyName[] = "temp.dat";      // its copy of itself, in the work folder
constexpr char kSettingsFileName[] = "saver.dat";    // the settings, in the data folder
constexpr char kInstallerMovieName[] = "installer.swf";  // what copies of its movie copy

bool IsMovieKind(std::uint8_t kind) {
  return kind == payload::kContentMovie || kind == payload::kContentMovieAlt;
}

std::string FolderWords(FolderKind folder) {
  switch (folder) {
    case FolderKind::Work: return "the work folder";
    case FolderKind::System: return "the system folder";
    case FolderKind::SaverData: return "the data folder";
  }
  return "";
}

std::string Quoted(const std::string& cp932) { return "\"" + Printable(cp932) + "\""; }

std::string RequiredBecause(int slot) {
  switch (slot) {
    case payload::kSlotDecompressor: return "the start-up loads the decompressor from it";
    case payload::kSlotFlashSetup: return "the start-up extracts the Flash Player setup from it";
    case payload::kSlotPresentation: return "the installer window shows it";
    case payload::kSlotLicense: return "showLicense is set";
    case payload::kSlotDocument: return "hasDocument is set";
    default: return "the installation extracts slots 6 to 10";
  }
}

// Where a file lands, for the collision check.
struct Place {
  FolderKind folder;
  std::string folded;
  bool operator<(const Place& o) const {
    return folder != o.folder ? folder < o.folder : folded < o.folded;
  }
};

class Checker {
 public:
  Checker(const InstallerFile& file, const ProgressFn& progress)
      : file_(file), header_(file.block.header), progress_(progress) {
    for (int slot = 1; slot < payload::kSlotCount; ++slot) {
      std::uint32_t length = 0;
      if (!Record(slot).IsEmpty() && payload::StoredLength(Record(slot), length) == rc::kOk)
        total_ += length;
    }
  }

  std::vector<Problem> Run() {
    if (const rc::Result r = payload::ValidateScreenSaverName(payload::ScreenSaverNameBytes(header_));
        r != rc::kOk)
      Add(kWholePackage, "saverName", DescribeCode(r) + " (" + std::to_string(r) + ")");
    for (int slot = 1; slot < payload::kSlotCount; ++slot) CheckSlot(slot);
    CheckPlaces();
    CheckPresentation();
    CheckDataFile();
    return problems_;
  }

 private:
  const payload::PayloadRecord& Record(int slot) const { return *file_.block.Slot(slot); }

  void Add(int slot, const std::string& field, const std::string& text) {
    problems_.push_back({slot, field, text});
  }

  bool Extracted(int slot) const {
    switch (slot) {
      case payload::kSlotPresentation: return header_.contentKind != payload::kContentSilent;
      case payload::kSlotLicense:
        return header_.showLicense != 0 && header_.contentKind != payload::kContentSilent;
      case payload::kSlotDocument: return header_.hasDocument != 0;
      default: return true;
    }
  }

  ProgressFn Progress() {
    if (!progress_) return {};
    const std::uint64_t base = done_;
    return [this, base](std::uint64_t done, std::uint64_t) { progress_(base + done, total_); };
  }

  void CheckSlot(int slot) {
    const payload::PayloadRecord& r = Record(slot);
    if (r.IsEmpty()) {
      if (IsRequiredSlot(slot, header_.contentKind, header_.showLicense != 0, header_.hasDocument != 0))
        Add(slot, "", "required, but empty: " + RequiredBecause(slot));
      return;
    }
    if (const rc::Result code = payload::ValidateRecord(r, file_.Size()); code != rc::kOk) {
      const std::string field = code == rc::kBadDestination ? "destination"
                                : code == rc::kUnsafeRecordName ? "name" : "";
      Add(slot, field, DescribeCode(code) + " (" + std::to_string(code) + ")");
      return;
    }
    const std::string problem = CopyRecordContent(file_, slot, nullptr, Progress());
    done_ += static_cast<std::uint64_t>(r.lastByte) - r.firstByte + 1;
    if (!problem.empty()) {
      Add(slot, "", problem);
      return;
    }
    sound_[static_cast<std::size_t>(slot)] = true;
    if (Extracted(slot)) CheckRole(slot, r);
  }

  void CheckRole(int slot, const payload::PayloadRecord& r) {
    payload::Destination d;
    payload::DestinationOf(r, d);
    const std::string lands = "goes to " + FolderWords(d.folder) + " as " + Quoted(d.fileName);
    switch (slot) {
      case payload::kSlotDecompressor:
        if (r.compressed != 0)
          Add(slot, "compressed", "is compressed, but the installer needs the decompressor to "
                                  "explode the other records: store it as it is");
        if (d.folder != FolderKind::Work ||
            payload::FoldedName(d.fileName) != payload::kDecompressorLibraryName)
          Add(slot, "destination", lands + "; the installer loads the decompressor from the work "
                                           "folder as \"impborl.dll\" (name \"impborl.dat\", destination 4)");
        break;
      case payload::kSlotFlashSetup:
        if (d.folder != FolderKind::Work || payload::FoldedName(d.fileName) != payload::kFlashSetupName)
          Add(slot, "destination", lands + "; the installer starts the Flash Player setup from the "
                                           "work folder as \"flashax.exe\" (name \"flashax.exe\", "
                                           "destination 3)");
        break;
      case payload::kSlotSaverProgram:
        if (payload::ValidateSaverProgramRecord(file_.block) != rc::kOk) {
          const std::string wanted = payload::ScreenSaverNameBytes(header_) + ".scr";
          Add(slot, payload::FoldedName(r.Name()) == payload::FoldedName(wanted) ? "destination" : "name",
              lands + "; the installer installs the screen-saver program as " + Quoted(wanted) +
                  " in the system folder (destination 2) (" +
                  std::to_string(rc::kBadSaverProgramRecord) + ")");
        }
        break;
      case payload::kSlotPresentation:
      case payload::kSlotLicense:
      case payload::kSlotDocument:
      case payload::kSlotSaverDataFile:
        if (d.folder != FolderKind::Work || d.fileName != r.Name())
          Add(slot, "destination", lands + "; the installer reads it from the work folder under "
                                           "its own name (destination 7)");
        break;
      default:
        break;
    }
  }

  // No two files land on one path: one would replace the other.
  void CheckPlaces() {
    std::map<Place, std::string> taken = {
        {{FolderKind::Work, kPackageCopyName}, "the installer's copy of itself (temp.dat)"},
        {{FolderKind::SaverData, kSettingsFileName}, "the settings file saver.dat"}};
    auto claim = [&](int slot, FolderKind folder, const std::string& name, const std::string& what) {
      const auto [it, added] = taken.emplace(Place{folder, payload::FoldedName(name)}, what);
      if (!added)
        Add(slot, "name", what + " lands in " + FolderWords(folder) + " on the same file as " +
                              it->second + "; one would replace the other");
    };
    for (int slot = 1; slot < payload::kSlotCount; ++slot) {
      if (!sound_[static_cast<std::size_t>(slot)] || !Extracted(slot)) continue;
      payload::Destination d;
      payload::DestinationOf(Record(slot), d);
      claim(slot, d.folder, d.fileName, "slot " + std::to_string(slot) + " (" + Printable(d.fileName) + ")");
      // The licence and the document are copied into the data folder after installing.
      if (slot == payload::kSlotLicense || slot == payload::kSlotDocument)
        claim(slot, FolderKind::SaverData, Record(slot).Name(),
              "the copy of slot " + std::to_string(slot) + " (" + Printable(Record(slot).Name()) + ")");
    }
  }

  void CheckPresentation() {
    const int slot = payload::kSlotPresentation;
    if (!sound_[slot] || !Extracted(slot)) return;
    const std::uint8_t kind = header_.contentKind;
    std::unique_ptr<ScratchFile> scratch;
    const std::unique_ptr<ByteSource> content = OpenRecordContent(file_, slot, scratch);
    const std::string kindName = ContentKindName(kind);
    if (IsMovieKind(kind)) {
      const std::string problem = MovieProblem(*content);
      if (!problem.empty()) Add(slot, "file", problem + ", but contentKind is " + kindName);
    } else if (kind == payload::kContentBitmap || kind == payload::kContentJpeg) {
      const std::string problem =
          kind == payload::kContentBitmap ? BitmapProblem(*content) : JpegProblem(*content);
      if (!problem.empty()) Add(slot, "file", problem + " (contentKind is " + kindName + ")");
    }
  }

  // The movie read as the installer's panel reads it, from a file of its own.
  std::string MovieProblem(const ByteSource& content) {
    const std::string kind = KindOfFile(content);
    if (kind != "a Flash movie") return kind.empty() ? "is not a Flash movie" : "is " + kind;
    ScratchFile copy(file_.path);
    CopyRange(content, 0, content.Size(), copy);
    copy.Finish();
    TSwfMovie movie;
    movie.swfFilename = copy.path();
    rc::Result result = rc::kOk;
    std::string raised;
    try {
      result = movie.readMovie();
    } catch (const InstallerError& e) {
      raised = e.what();
    }
    if (!movie.tempFolder.empty()) {
      std::error_code ignored;
      fs::remove_all(movie.tempFolder, ignored);
    }
    if (!raised.empty()) return "is a movie the installer cannot read (" + raised + ")";
    if (result != rc::kOk) return "is a movie the installer does not play: " + DescribeCode(result) +
                                  " (" + std::to_string(result) + ")";
    return "";
  }

  void CheckDataFile() {
    const int slot = payload::kSlotSaverDataFile;
    if (!sound_[slot]) return;
    std::unique_ptr<ScratchFile> scratch;
    const std::unique_ptr<ByteSource> content = OpenRecordContent(file_, slot, scratch);
    DataFileChecker(*content);
  }

  // The data file walked as the installer's InstallSaverContent walks it.
  void DataFileChecker(const ByteSource& data) {
    const int slot = payload::kSlotSaverDataFile;
    const std::uint64_t size = data.Size();
    payload::SaverSettings settings;
    if (size < payload::kSettingsSize) {
      Add(slot, "", "the data file is shorter than its 1240-byte settings block (" +
                        std::to_string(rc::kShortRead) + ")");
      return;
    }
    data.ReadAt(0, settings.bytes.data(), payload::kSettingsSize);
    const std::int32_t count = settings.EntryCount();
    if (payload::ValidateEntryCount(count) != rc::kOk) {
      Add(slot, "", "data file: entryCount " + std::to_string(count) + "; a data file holds 0 to " +
                        std::to_string(payload::kMaxEntryCount) + " entries (" +
                        std::to_string(rc::kBadEntryCount) + ")");
      return;
    }
    if (payload::TableSize(count) > size) {
      Add(slot, "", "data file: its entry table runs past its end (" + std::to_string(rc::kShortRead) + ")");
      return;
    }
    Bytes table(static_cast<std::size_t>(count) * payload::kEntrySize);
    if (!table.empty()) data.ReadAt(payload::kSettingsSize, table.data(), table.size());
    std::vector<payload::SaverEntry> entries;
    for (std::int32_t i = 0; i < count; ++i) {
      entries.push_back(payload::ParseEntry(table.data() + static_cast<std::size_t>(i) * payload::kEntrySize));
      if (payload::ValidateEntryName(entries.back().Name()) != rc::kOk) {
        Add(slot, "", EntryLabel(i + 1, entries.back()) + ": name leaves the data folder (" +
                          std::to_string(rc::kUnsafeEntryName) + ")");
        return;  // the installer refuses the whole file
      }
    }
    std::map<std::string, int> placed = {{kSettingsFileName, 0}};
    bool mainPlaced = false;
    for (std::int32_t i = 1; i <= count; ++i) {
      const payload::SaverEntry& e = entries[static_cast<std::size_t>(i - 1)];
      if (e.Name().empty()) continue;
      const std::string label = EntryLabel(i, e);
      if (payload::IsInstallerMovieEntry(settings, i, e.kind)) {
        if (MovieCopyProblem(i, label, mainPlaced)) continue;
      } else if (!CheckChunk(data, e, label)) {
        continue;  // unsound, or a chunk of 0 bytes: no file is written
      }
      if (i == 1) mainPlaced = true;
      ClaimEntry(placed, i, e, label);
    }
  }

  static std::string EntryLabel(std::int32_t number, const payload::SaverEntry& e) {
    return "data file entry " + std::to_string(number) + " (" + Printable(e.Name()) + ")";
  }

  // A copy of the installer's movie (entry 1) or of entry 1 (later entries).
  // Returns whether a problem was found.
  bool MovieCopyProblem(std::int32_t number, const std::string& label, bool mainPlaced) {
    const int slot = payload::kSlotSaverDataFile;
    const std::string failure = " (" + std::to_string(rc::kMovieCopyFailed) + ")";
    if (number != 1) {
      if (mainPlaced) return false;
      Add(slot, "", label + ": a copy of entry 1, which puts no file into the data folder" + failure);
      return true;
    }
    if (!IsMovieKind(header_.contentKind)) {
      Add(slot, "", label + ": a copy of the installer's movie (movieEntry), but the installer shows " +
                        "no movie (contentKind " + std::to_string(header_.contentKind) + ")" + failure);
      return true;
    }
    const payload::PayloadRecord& movie = Record(payload::kSlotPresentation);
    if (movie.IsEmpty() || movie.Name() != kInstallerMovieName) {
      Add(slot, "", label + ": a copy of the installer's movie, which the installer takes from the "
                            "work folder's \"installer.swf\", but the presentation is named " +
                        Quoted(movie.Name()) + " (name it installer.swf)" + failure);
      return true;
    }
    return false;
  }

  // A chunk with data of its own; returns whether it writes a file.
  bool CheckChunk(const ByteSource& data, const payload::SaverEntry& e, const std::string& label) {
    const int slot = payload::kSlotSaverDataFile;
    const std::string bad = ": chunk offset or size outside the data file (" + std::to_string(rc::kBadChunk) + ")";
    if (payload::CheckChunkHeaderInFile(e, data.Size()) != rc::kOk) {
      Add(slot, "", label + bad);
      return false;
    }
    std::array<std::uint8_t, payload::kChunkHeaderSize> bytes{};
    data.ReadAt(static_cast<std::uint64_t>(e.chunkOffset), bytes.data(), bytes.size());
    const payload::SaverChunkHeader header = payload::ParseChunkHeader(bytes.data());
    payload::ChunkData chunk;
    if (payload::LocateChunkData(e, header, data.Size(), chunk) != rc::kOk) {
      Add(slot, "", label + bad);
      return false;
    }
    if (chunk.unpackedSize == 0) return false;  // the installer writes nothing for it
    if (!chunk.compressed) return true;
    const ExplodeOutcome x = ExplodeRange(data, chunk.offset, chunk.length, nullptr, chunk.unpackedSize);
    const std::string mismatch = " (" + std::to_string(rc::kExplodedSizeMismatch) + ")";
    if (x.produced > chunk.unpackedSize)
      Add(slot, "", label + ": explodes to more than its size " + std::to_string(chunk.unpackedSize) + mismatch);
    else if (!x.complete)
      Add(slot, "", label + ": damaged compressed data");
    else if (x.produced != chunk.unpackedSize)
      Add(slot, "", label + ": exploded size " + std::to_string(x.produced) + " differs from its size " +
                        std::to_string(chunk.unpackedSize) + mismatch);
    return true;
  }

  // Entries land in the data folder by name; names equal as Windows compares
  // them, or a file where another entry needs a folder, replace or break each other.
  void ClaimEntry(std::map<std::string, int>& placed, std::int32_t number, const payload::SaverEntry& e,
                  const std::string& label) {
    const std::string folded = payload::FoldedName(e.Name());
    std::vector<std::pair<std::string, std::string>> names;  // (key, what it is)
    for (std::size_t i = 0; i < folded.size(); ++i) {  // by characters: a second byte may be 0x5C
      if (payload::IsCp932LeadByte(static_cast<std::uint8_t>(folded[i]))) ++i;
      else if (folded[i] == '\\') names.push_back({folded.substr(0, i), "folder"});
    }
    names.push_back({folded, "file"});
    for (const auto& [key, what] : names) {
      const std::string asFolder = key + "\\";
      const std::string asFile = key;
      const std::string& mine = what == "folder" ? asFolder : asFile;
      const std::string& other = what == "folder" ? asFile : asFolder;
      if (const auto it = placed.find(other); it != placed.end()) {
        Add(payload::kSlotSaverDataFile, "",
            label + ": needs " + Quoted(key) + " as a " + what + ", but " + Owner(it->second) +
                " makes it a " + (what == "folder" ? "file" : "folder"));
        return;
      }
      const auto [it, added] = placed.emplace(mine, number);
      if (!added && what == "file") {
        Add(payload::kSlotSaverDataFile, "",
            label + ": lands on the same file as " + Owner(it->second) + "; one would replace the other");
        return;
      }
    }
  }

  static std::string Owner(int number) {
    return number == 0 ? std::string("the settings file saver.dat")
                       : "data file entry " + std::to_string(number);
  }

  const InstallerFile& file_;
  const payload::PayloadHeader& header_;
  const ProgressFn& progress_;
  std::uint64_t done_ = 0;
  std::uint64_t total_ = 0;
  std::array<bool, payload::kSlotCount> sound_{};
  std::vector<Problem> problems_;
};

}  // namespace

bool IsRequiredSlot(int slot, std::uint8_t contentKind, bool showLicense, bool hasDocument) {
  switch (slot) {
    case payload::kSlotDecompressor:
    case payload::kSlotFlashSetup:
      return true;
    case payload::kSlotPresentation:
      return contentKind != payload::kContentSilent;
    case payload::kSlotLicense:
      return showLicense && contentKind != payload::kContentSilent;
    case payload::kSlotDocument:
      return hasDocument;
    default:
      return slot >= payload::kSlotSaverProgram && slot <= payload::kSlotEngine2;
  }
}

std::vector<Problem> CheckPackage(const InstallerFile& file, const ProgressFn& progress) {
  return Checker(file, progress).Run();
}

}  // namespace lvpack
