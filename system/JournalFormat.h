// The installation journal's file format: one record a line, each line sealed
// with a checksum, so that a line cut short by a crash or a power cut is known
// for what it is. Portable: the Windows layer (system/InstallJournal) writes the
// records as it changes the machine and replays them backwards to undo.
//
// A line: the record's letter, its fields each behind a tab (UTF-8, with '%',
// control characters and tabs written as %XX), a tab, '#' and the FNV-1a hash
// of everything before that tab in eight hex digits, then '\n'.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace journal {

// What a record says. Each is written before the change it announces, so the
// change may or may not have happened when the process died.
enum class Kind : char {
  Header = 'H',         // version, saver name: always the first record
  MovedAside = 'A',     // path, backup path: an earlier file or folder set aside
  CreatedFile = 'F',    // path, temporary path: a file that did not exist before
  CreatedFolder = 'D',  // path: a folder that did not exist before, with all it will hold
  ProfileValue = 'P',   // file, section, key, "1"/"0" (present before), earlier value
  RegistryKey = 'R',    // root, key path, "1"/"0" (present before)
  RegistryValue = 'V',  // root, key path, value name, "1"/"0" (present before), earlier text
  Committed = 'C',      // the installation is complete: only the set-aside copies go
  Undone = 'U',         // index of a record whose change has been undone
};

constexpr char kVersion[] = "1";

struct Record {
  Kind kind = Kind::Header;
  std::vector<std::string> fields;
};

// One line, '\n' included.
std::string SerializeRecord(const Record& record);

struct Contents {
  std::vector<Record> records;  // the sound records, in order, up to the first damaged line
  bool damaged = false;         // a line was cut short or did not match its checksum
  bool ours = false;            // the first record is a header of a version we read
  std::string saverName;        // from the header
  std::size_t soundBytes = 0;   // length of the sound lines: where the next record goes
};
// Reads a journal. Reading stops at the first damaged line: what follows it
// was written after it and cannot be trusted either.
Contents ParseJournal(const std::string& bytes);

// How a dead installation is dealt with, from its records.
struct Plan {
  bool committed = false;      // complete: only the set-aside copies are removed
  std::vector<std::size_t> steps;  // record indexes to undo (or, committed, to finish), in order
};
// Undo runs from the last record back to the first and skips records marked
// Undone, so that undoing again after a crash during the undo repeats nothing.
Plan PlanRecovery(const Contents& contents);

}  // namespace journal
