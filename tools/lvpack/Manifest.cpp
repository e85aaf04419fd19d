#include "tools/lvpack/Manifest.h"

#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "dcl/Dcl.h"
#include "payload/SafeNames.h"
#include "payload/SaverDataFormat.h"
#include "system/Cp932.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack {

using json = nlohmann::json;

const std::array<const char*, payload::kSlotCount> kSlotRoles = {
    "installerImage", "decompressor", "flashSetup", "presentation", "license", "document",
    "saver",          "saverFile",    "dataFile",   "engine1",      "engine2"};

namespace {

// Reference package: destination and compression of every slot.
constexpr std::array<std::int32_t, payload::kSlotCount> kDefaultDestination = {6, 4, 3, 7, 7, 7,
                                                                               2, 5, 4, 5, 5};
constexpr std::array<bool, payload::kSlotCount> kDefaultCompressed = {
    false, false, false, false, true, true, true, false, false, true, true};

const std::map<std::string, std::uint8_t> kContentKinds = {
    {"bitmap", payload::kContentBitmap},
    {"movie", payload::kContentMovieAlt},
    {"silent", payload::kContentSilent},
    {"jpeg", payload::kContentJpeg}};

// Reads one manifest with the context every message needs.
class Reader {
 public:
  explicit Reader(const fs::path& manifest)
      : manifest_(manifest), folder_(manifest.parent_path()) {}

  [[noreturn]] void Fail(const std::string& field, const std::string& what) const {
    throw ToolError(PathText(manifest_) + ": " + field + ": " + what);
  }

  void OnlyKnownFields(const json& object, const std::string& where,
                       const std::set<std::string>& known) const {
    for (auto it = object.begin(); it != object.end(); ++it)
      if (!known.count(it.key()))
        Fail(Join(where, it.key()), "unknown field");
  }

  static std::string Join(const std::string& where, const std::string& key) {
    return where.empty() ? key : where + "." + key;
  }

  bool Bool(const json& value, const std::string& field) const {
    if (!value.is_boolean()) Fail(field, "must be true or false");
    return value.get<bool>();
  }

  // true, false or "always".
  void Compressed(const json& value, const std::string& field, bool& compressed, bool& always) const {
    if (value.is_string() && value.get<std::string>() == "always") {
      compressed = always = true;
      return;
    }
    if (!value.is_boolean()) Fail(field, "must be true, false or \"always\"");
    compressed = value.get<bool>();
    always = false;
  }

  std::int64_t Integer(const json& value, const std::string& field, std::int64_t lo,
                       std::int64_t hi) const {
    if (!value.is_number_integer())
      Fail(field, "must be a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
    // Unsigned JSON numbers may exceed every signed range: compare before converting.
    const bool tooLarge =
        value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(hi);
    const std::int64_t v = tooLarge ? hi : value.get<std::int64_t>();
    if (tooLarge || v < lo || v > hi)
      Fail(field, "must be from " + std::to_string(lo) + " to " + std::to_string(hi) + ", not " +
                      value.dump());
    return v;
  }
  std::string Text(const json& value, const std::string& field) const {
    if (!value.is_string()) Fail(field, "must be a text");
    return value.get<std::string>();
  }

  // A UTF-8 text stored as code page 932, at most `maxBytes` bytes.
  std::string Cp932Text(const json& value, const std::string& field, std::size_t maxBytes) const {
    const std::string utf8 = Text(value, field);
    std::string bytes;
    if (!text::Utf8ToCp932(utf8, bytes))
      Fail(field, "\"" + utf8 + "\" has characters that code page 932 cannot hold");
    if (bytes.size() > maxBytes)
      Fail(field, "\"" + utf8 + "\" takes " + std::to_string(bytes.size()) +
                      " bytes in code page 932; at most " + std::to_string(maxBytes) + " fit");
    return bytes;
  }

  // A file path relative to the manifest; the file must exist.
  fs::path File(const json& value, const std::string& field) const {
    const std::string text = Text(value, field);
    if (text.empty()) Fail(field, "must name a file");
    const fs::path path = folder_ / PathFromUtf8(text);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) Fail(field, "file not found: " + PathText(path));
    if (!fs::is_regular_file(status))
      Fail(field, PathText(path) + " is not a regular file (a folder, FIFO or device)");
    return path;
  }

  fs::path Folder(const json& value, const std::string& field) const {
    const fs::path path = folder_ / PathFromUtf8(Text(value, field));
    std::error_code ec;
    if (!fs::is_directory(path, ec)) Fail(field, "folder not found: " + PathText(path));
    return path;
  }

  void ReadCompression(const json& object, const std::string& where, Compression& c) const {
    if (object.contains("mode")) {
      const std::string mode = Text(object["mode"], Join(where, "mode"));
      if (mode == "binary") c.mode = dcl::kBinary;
      else if (mode == "ascii") c.mode = dcl::kAscii;
      else Fail(Join(where, "mode"), "must be \"binary\" or \"ascii\", not \"" + mode + "\"");
    }
    if (object.contains("dictionary")) {
      const std::string field = Join(where, "dictionary");
      const json& d = object["dictionary"];
      if (!d.is_number_integer() || (d != 1024 && d != 2048 && d != 4096))
        Fail(field, "must be 1024, 2048 or 4096, not " + d.dump());
      c.dictionary = d.get<unsigned>();
    }
  }

  DataFileContent Content(const json& object, const std::string& where) const {
    if (!object.is_object()) Fail(where, "must be an object");
    OnlyKnownFields(object, where, {"folder", "movieEntry", "settings", "saverContentKind",
                                    "compressed", "mode", "dictionary"});
    DataFileContent c;
    if (object.contains("folder")) c.folder = Folder(object["folder"], Join(where, "folder"));
    if (object.contains("movieEntry")) {
      c.movieEntry = Cp932Text(object["movieEntry"], Join(where, "movieEntry"),
                               payload::kEntryNameSize - 1);
      if (payload::ValidateEntryName(c.movieEntry) != rc::kOk || c.movieEntry.empty())
        Fail(Join(where, "movieEntry"), "must be a file name inside the data folder");
    }
    if (object.contains("settings")) c.settingsFile = File(object["settings"], Join(where, "settings"));
    if (object.contains("saverContentKind"))
      c.saverContentKind = static_cast<std::int32_t>(
          Integer(object["saverContentKind"], Join(where, "saverContentKind"), INT32_MIN, INT32_MAX));
    if (c.saverContentKind == payload::kSaverContentInstallerMovie && c.movieEntry.empty())
      Fail(Join(where, "saverContentKind"), "3 makes entry 1 the installer's movie: give movieEntry");
    if (object.contains("compressed"))
      Compressed(object["compressed"], Join(where, "compressed"), c.compressed, c.alwaysCompressed);
    ReadCompression(object, where, c.compression);
    return c;
  }

  void Slot(const json& object, int slot, const std::string& where, SlotPlan& plan) const {
    if (!object.is_object()) Fail(where, "must be an object");
    std::set<std::string> known = {"file", "name", "destination", "compressed", "mode", "dictionary"};
    if (slot == payload::kSlotSaverDataFile) known.insert("content");
    OnlyKnownFields(object, where, known);
    if (object.contains("file") && object.contains("content"))
      Fail(where, "give either \"file\" or \"content\", not both");
    if (object.contains("file")) plan.file = File(object["file"], Join(where, "file"));
    if (object.contains("content")) plan.content = Content(object["content"], Join(where, "content"));
    if (object.contains("name")) {
      const std::string field = Join(where, "name");
      plan.name = Cp932Text(object["name"], field, payload::kRecordNameSize);
      if (!payload::IsPlainFileName(*plan.name))
        Fail(field, "\"" + object["name"].get<std::string>() + "\" is not a plain file name");
    }
    if (object.contains("destination")) {
      const std::string field = Join(where, "destination");
      // Where each slot may go is a package rule, checked on the built package.
      plan.destination = static_cast<std::int32_t>(Integer(object["destination"], field, 0, 10));
    }
    if (object.contains("compressed"))
      Compressed(object["compressed"], Join(where, "compressed"), plan.compressed, plan.alwaysCompressed);
    if (slot == payload::kSlotInstallerImage && plan.compressed)
      Fail(Join(where, "compressed"), "the installer image is never compressed");
    ReadCompression(object, where, plan.compression);
  }

  int SlotNumber(const std::string& key, const std::string& where) const {
    const int slot = SlotOfRole(key);
    if (slot < 0) Fail(Join(where, key), "unknown slot; use 0 to 10 or a role name (" + RoleList() + ")");
    return slot;
  }

  PackagePlan Read(const json& root) const {
    if (!root.is_object()) Fail("(top level)", "must be an object");
    OnlyKnownFields(root, "", {"saverName", "contentKind", "showLicense", "hasDocument",
                               "offerDisplayProperties", "image", "slots"});
    PackagePlan plan = DefaultPlan();
    plan.manifestPath = manifest_;
    if (!root.contains("saverName")) Fail("saverName", "missing");
    plan.saverName = Cp932Text(root["saverName"], "saverName", payload::kSaverNameSize);
    if (payload::ValidateScreenSaverName(plan.saverName) != rc::kOk)
      Fail("saverName", "\"" + root["saverName"].get<std::string>() +
                            "\" is not usable as a file name (empty, a separator, a colon, "
                            "a device name, ...)");
    if (root.contains("contentKind")) {
      const json& k = root["contentKind"];
      if (k.is_string()) {
        const auto it = kContentKinds.find(k.get<std::string>());
        if (it == kContentKinds.end())
          Fail("contentKind", "\"" + k.get<std::string>() +
                                  "\" is not a content kind; use bitmap, movie, silent or jpeg");
        plan.contentKind = it->second;
      } else {
        plan.contentKind = static_cast<std::uint8_t>(Integer(k, "contentKind", 0, 255));
      }
    }
    if (root.contains("showLicense")) plan.showLicense = Bool(root["showLicense"], "showLicense");
    if (root.contains("hasDocument")) plan.hasDocument = Bool(root["hasDocument"], "hasDocument");
    if (root.contains("offerDisplayProperties"))
      plan.offerDisplayProperties = Bool(root["offerDisplayProperties"], "offerDisplayProperties");
    if (root.contains("image")) plan.image = File(root["image"], "image");
    if (root.contains("slots")) {
      const json& slots = root["slots"];
      if (!slots.is_object()) Fail("slots", "must be an object");
      std::set<int> seen;
      for (auto it = slots.begin(); it != slots.end(); ++it) {
        const int slot = SlotNumber(it.key(), "slots");
        const std::string where = "slots." + it.key();
        if (!seen.insert(slot).second) Fail(where, "slot " + std::to_string(slot) + " given twice");
        Slot(it.value(), slot, where, plan.slots[static_cast<std::size_t>(slot)]);
      }
    }
    return plan;
  }

 private:
  fs::path manifest_;
  fs::path folder_;
};

}  // namespace

int SlotOfRole(const std::string& roleOrNumber) {
  for (int i = 0; i < payload::kSlotCount; ++i)
    if (roleOrNumber == kSlotRoles[static_cast<std::size_t>(i)] || roleOrNumber == std::to_string(i))
      return i;
  return -1;
}

std::string RoleList() {
  std::string list;
  for (const char* role : kSlotRoles) list += (list.empty() ? "" : ", ") + std::string(role);
  return list;
}

PackagePlan DefaultPlan() {
  PackagePlan plan;
  for (int i = 0; i < payload::kSlotCount; ++i) {
    SlotPlan& s = plan.slots[static_cast<std::size_t>(i)];
    s.destination = kDefaultDestination[static_cast<std::size_t>(i)];
    s.compressed = kDefaultCompressed[static_cast<std::size_t>(i)];
  }
  return plan;
}

PackagePlan LoadManifest(const fs::path& manifestPath) {
  const Bytes bytes = ReadFileBytes(manifestPath);
  json root;
  try {
    root = json::parse(bytes.begin(), bytes.end());
  } catch (const json::parse_error& e) {
    // The library's text starts with its own error number; the user needs the place.
    const std::string what = e.what();
    const std::size_t at = what.find("at line");
    throw ToolError(PathText(manifestPath) + ": not valid JSON " +
                    (at == std::string::npos ? "at byte " + std::to_string(e.byte) : what.substr(at)));
  }
  return Reader(manifestPath).Read(root);
}

std::string ContentKindName(std::uint8_t kind) {
  switch (kind) {
    case payload::kContentBitmap: return "bitmap";
    case payload::kContentMovie:
    case payload::kContentMovieAlt: return "movie";
    case payload::kContentSilent: return "silent";
    case payload::kContentJpeg: return "jpeg";
    default: return "";
  }
}

}  // namespace lvpack
