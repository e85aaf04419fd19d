// The maker's description of an installer: a JSON manifest.
//
//   {
//     "saverName": "Night Saver",            UTF-8, stored as code page 932 (at most 64 bytes)
//     "contentKind": "movie",                bitmap | movie | silent | jpeg | a number 0..255
//     "showLicense": false, "hasDocument": false, "offerDisplayProperties": true,
//     "image": "install.exe",                the installer image (or --image)
//     "slots": {                             by role or by number "0".."10"
//       "decompressor": {"file": "impborl.dll"},
//       "presentation": {"file": "movie.swf"},
//       "saver":        {"file": "night.scr", "mode": "binary", "dictionary": 4096},
//       "dataFile":     {"content": {"folder": "content", "movieEntry": "Night.swf"}},
//       ...
//     }
//   }
//
// Slot fields: "file" (relative to the manifest), "name" (stored name, UTF-8),
// "destination" (1..7, 10), "compressed" (true: imploded unless that makes it
// larger; "always": imploded in any case; false), "mode" (binary | ascii),
// "dictionary" (1024 | 2048 | 4096). Anything not given takes the reference
// package's default. Slot 8 takes "content" instead of "file": "folder" (every file below
// it becomes an entry), "movieEntry" (entry 1, a copy of the installer's
// movie), "settings" (a 1,240-byte file; zeros otherwise), "saverContentKind",
// "compressed", "mode", "dictionary" for the entries.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "payload/PayloadFormat.h"
#include "tools/lvpack/FileIo.h"
#include "tools/lvpack/RecordCodec.h"

namespace lvpack {

// The data file built from a content folder.
struct DataFileContent {
  std::optional<fs::path> folder;
  std::string movieEntry;  // code page 932; empty: none
  std::optional<fs::path> settingsFile;
  std::optional<std::int32_t> saverContentKind;
  bool compressed = false;
  bool alwaysCompressed = false;  // imploded even where that makes an entry larger
  Compression compression;
};

struct SlotPlan {
  std::optional<fs::path> file;           // absent: the slot stays empty
  std::optional<std::string> name;        // code page 932; absent: the default
  std::int32_t destination = 0;
  bool compressed = false;
  bool alwaysCompressed = false;          // imploded even where that makes it larger
  Compression compression;
  std::optional<DataFileContent> content; // slot 8 only
};

struct PackagePlan {
  fs::path manifestPath;
  std::uint8_t contentKind = payload::kContentMovieAlt;
  bool showLicense = false;
  bool hasDocument = false;
  bool offerDisplayProperties = true;
  std::string saverName;  // code page 932
  std::optional<fs::path> image;
  std::array<SlotPlan, payload::kSlotCount> slots;
};

// The role names of the slots, index = slot number.
extern const std::array<const char*, payload::kSlotCount> kSlotRoles;
// The slot of a role name or of a number "0".."10"; -1 for anything else.
int SlotOfRole(const std::string& roleOrNumber);
// "decompressor, flashSetup, ..., engine2" for messages.
std::string RoleList();

// Slot defaults of the reference package (destination, compressed).
PackagePlan DefaultPlan();

// Reads and checks a manifest. ToolError "<manifest>: <field>: <what is wrong>".
PackagePlan LoadManifest(const fs::path& manifestPath);

// The content kind's name for listings ("movie", ...) or "" when it has none.
std::string ContentKindName(std::uint8_t kind);

}  // namespace lvpack
