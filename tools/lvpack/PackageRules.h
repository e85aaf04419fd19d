// The rules a package must follow for the installer of this tree to install
// it, kept in one place: `build` checks what it has written with them before
// the output takes its name, and `verify` checks any installer with them.
//
//  - every record the installer extracts is present, readable and, when
//    compressed, explodes to its unpackedSize;
//  - each slot lands where the installer looks for it: the decompressor (1,
//    stored) as "impborl.dll", the Flash Player setup (2) as "flashax.exe",
//    the presentation (3), licence (4), document (5) and data file (8) in the
//    work folder under their own names, the program (6) as saverName + ".scr"
//    in the system folder; no two files land on one path, nor on the
//    installer's own "temp.dat" or "saver.dat";
//  - the presentation matches contentKind by its content: a movie the
//    installer's movie reader accepts (versions 3 to 7), or a BMP or JPEG
//    picture it can show;
//  - the data file is sound entry by entry, as the installer reads it, and a
//    copy of the installer's movie is only asked for when there is one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/lvpack/Installer.h"

namespace lvpack {

constexpr int kWholePackage = -1;

struct Problem {
  int slot = kWholePackage;  // the slot concerned, or kWholePackage (the header)
  std::string field;         // the record's or header's field, when one is to blame
  std::string text;          // what is wrong, without the slot's name
};

// Slots the installer cannot do without for this header: 1; 2, which the
// start-up extracts in any case; 3 unless the package is silent; the licence
// and document when the header asks for them; 6 to 10, which the installation
// extracts without checking.
bool IsRequiredSlot(int slot, std::uint8_t contentKind, bool showLicense, bool hasDocument);

// Every problem of the package; empty when the installer can install it.
std::vector<Problem> CheckPackage(const InstallerFile& file, const ProgressFn& progress = {});

}  // namespace lvpack
