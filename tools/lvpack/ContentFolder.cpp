#include "tools/lvpack/ContentFolder.h"

#include <algorithm>
#include <limits>
#include <map>

#include "payload/SafeNames.h"
#include "payload/SaverDataFormat.h"
#include "system/Cp932.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack {
namespace {

constexpr char kSettingsFileName[] = "saver.dat";  // written by the installer into the data folder
constexpr std::uint64_t kMaxEntrySize = std::numeric_limits<std::int32_t>::max();

class Scanner {
 public:
  Scanner(const std::string& where, std::size_t room) : where_(where), room_(room) {}

  [[noreturn]] void Fail(const fs::path& relative, const std::string& what) const {
    throw ToolError(where_ + ": \"" + PathText(relative) + "\" " + what);
  }

  void Walk(const fs::path& folder, const fs::path& relative, std::vector<fs::path>& chain) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      const fs::path item = it->path();
      const fs::path shown = relative / item.filename();
      fs::file_status status = fs::symlink_status(item, ec);
      if (ec) break;
      if (fs::is_symlink(status)) {
        status = fs::status(item, ec);
        if (ec || !fs::exists(status)) Fail(shown, "is a link whose target is missing");
      }
      if (fs::is_directory(status)) {
        const fs::path real = fs::canonical(item, ec);
        if (ec) break;
        const auto loop = std::find(chain.begin(), chain.end(), real);
        if (loop != chain.end())
          Fail(shown, "is a link back to the folder that holds it (a loop); remove the link");
        chain.push_back(real);
        Walk(item, shown, chain);
        chain.pop_back();
      } else if (fs::is_regular_file(status)) {
        if (files_.size() >= room_)
          throw ToolError(where_ + ": more than " + std::to_string(payload::kMaxEntryCount) +
                          " entries; a data file holds at most " +
                          std::to_string(payload::kMaxEntryCount));
        ContentFile file;
        file.source = item;
        file.shown = PathText(shown);
        file.size = fs::file_size(item, ec);
        if (ec) break;
        files_.push_back({shown, file});
      } else {
        Fail(shown, "is not a regular file (a FIFO, device or socket)");
      }
    }
    if (ec)
      throw IoError(where_ + ": cannot read " + PathText(folder) + ": " + ec.message());
  }

  // Names, sizes and collisions, in path order.
  std::vector<ContentFile> Finish(const std::string& movieEntry) {
    std::sort(files_.begin(), files_.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::string foldedMovie = payload::FoldedName(movieEntry);
    std::vector<ContentFile> result;
    for (auto& [relative, file] : files_) {
      file.entryName = EntryName(relative);
      if (file.size > kMaxEntrySize)
        Fail(relative, "has " + std::to_string(file.size) + " bytes; an entry holds at most " +
                           std::to_string(kMaxEntrySize));
      const std::string folded = payload::FoldedName(file.entryName);
      if (folded == kSettingsFileName)
        Fail(relative, "would be replaced by the settings file \"saver.dat\" that the installer "
                       "writes into the data folder; rename it");
      if (!movieEntry.empty() && folded == foldedMovie) Fail(relative, "is also the movieEntry");
      // The folders above the file and the file itself, each a name on the target.
      fs::path prefix;
      std::string foldedPrefix;
      for (const fs::path& part : relative) {
        prefix /= part;
        foldedPrefix = payload::FoldedName(EntryName(prefix));
        Claim(foldedPrefix, prefix);
      }
      result.push_back(std::move(file));
    }
    return result;
  }

 private:
  // Two different paths whose folded forms agree are one file on the target.
  void Claim(const std::string& folded, const fs::path& relative) {
    const auto [it, added] = taken_.emplace(folded, relative);
    if (!added && it->second != relative)
      Fail(relative, "and \"" + PathText(it->second) +
                         "\" differ only in letter case; Windows keeps one of them");
  }

  std::string EntryName(const fs::path& relative) const {
    std::string name;
    for (const fs::path& part : relative) {
      const std::string utf8 = PathText(part);
      std::string bytes;
      if (!text::Utf8ToCp932(utf8, bytes)) Fail(relative, "has characters that code page 932 cannot hold");
      if (utf8.find('\\') != std::string::npos)
        Fail(relative, "has a \"\\\" in a name, which the installer reads as a folder separator");
      if (!payload::IsPlainFileName(bytes))
        Fail(relative, "is not a name Windows allows (a device name, or a character such as : * ? \" < > |)");
      name += (name.empty() ? "" : "\\") + bytes;
    }
    if (name.size() >= payload::kEntryNameSize)
      Fail(relative, "takes " + std::to_string(name.size()) +
                         " bytes in code page 932; an entry name holds at most " +
                         std::to_string(payload::kEntryNameSize - 1));
    return name;
  }

  std::string where_;
  std::size_t room_;
  std::vector<std::pair<fs::path, ContentFile>> files_;
  std::map<std::string, fs::path> taken_;  // folded names of files and folders
};

}  // namespace

std::vector<ContentFile> ScanContentFolder(const fs::path& folder, const std::string& movieEntry,
                                           const std::string& where) {
  const std::size_t room = static_cast<std::size_t>(payload::kMaxEntryCount) - (movieEntry.empty() ? 0 : 1);
  Scanner scanner(where, room);
  std::error_code ec;
  std::vector<fs::path> chain{fs::canonical(folder, ec)};
  if (ec) throw IoError(where + ": cannot read " + PathText(folder) + ": " + ec.message());
  scanner.Walk(folder, fs::path(), chain);
  return scanner.Finish(movieEntry);
}

}  // namespace lvpack
