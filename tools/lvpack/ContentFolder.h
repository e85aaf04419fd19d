// The files of a content folder that become the data file's entries.
//
// Rules (the README states them for makers):
//  - every regular file below the folder becomes an entry, named by its path
//    below the folder with "\" between folder names, in code page 932;
//  - links are followed, to files and to folders; a link to a folder that
//    contains it (a loop) is refused, as is a link whose target is missing;
//  - FIFOs, devices and sockets are refused (reading them could block);
//  - a name must be one Windows allows, must not contain "\" (the installer
//    would read it as a folder separator), and two paths must not differ only
//    in letter case (the target's file system keeps one of them);
//  - "saver.dat" at the top is refused: the installer writes the settings
//    file there and would replace it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/lvpack/FileIo.h"

namespace lvpack {

struct ContentFile {
  fs::path source;        // the file to read (through links)
  std::string entryName;  // code page 932, "\" between folders
  std::string shown;      // the path below the folder, UTF-8, for messages
  std::uint64_t size = 0;
};

// The entries of `folder`, sorted by path. `movieEntry` (code page 932, may be
// empty) is the entry the data file adds as a copy of the installer's movie.
// ToolError "<where>: "<path>": <what is wrong>" on a violation.
std::vector<ContentFile> ScanContentFolder(const fs::path& folder, const std::string& movieEntry,
                                           const std::string& where);

}  // namespace lvpack
