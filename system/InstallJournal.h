// The installation journal on the machine: a file beside the screen-saver
// program (SystemFolder + name + ".lvj") that an installation opens before its
// first change and removes after its last. Each change is announced in it
// before it is made; earlier copies are set aside under backup names rather
// than deleted. The file stays open, shared for reading only, while its owner
// runs: a journal that can be opened for writing belongs to a dead process.
//
// An installer (or the screen saver's "/u") that finds such a journal undoes
// the dead installation (or, if it had completed, removes its set-aside
// copies) before going on. Every step of that can run again after a crash.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "system/JournalFormat.h"
#include "system/ResultCodes.h"

class InstallJournal {
 public:
  InstallJournal() = default;
  ~InstallJournal();
  InstallJournal(const InstallJournal&) = delete;
  InstallJournal& operator=(const InstallJournal&) = delete;

  // Creates the journal at `path` for the saver `name`. rc::kInstallationRunning
  // when a journal is there already (its owner runs, or it could not be undone).
  rc::Result Begin(const std::wstring& path, const std::wstring& name);
  bool Active() const { return file_ != INVALID_HANDLE_VALUE; }

  // Sets an existing file or folder aside under a free backup name beside it.
  // `moved` tells whether it was; a path that does not exist is left alone.
  // Without an active journal nothing happens.
  rc::Result MoveAside(const std::wstring& path, bool& moved);
  // Announces a new file written through `temporary` and renamed to `path`.
  // Nothing is recorded for a path inside a folder this journal created.
  rc::Result NoteCreatedFile(const std::wstring& path, const std::wstring& temporary);
  // Announces a folder about to be created (ending with a backslash).
  rc::Result NoteCreatedFolder(const std::wstring& folder);
  // Records the value a profile key has now, before it is written.
  rc::Result NoteProfileValue(const std::wstring& file, const std::wstring& section,
                              const std::wstring& key);
  // Records the uninstall entry of `name` under both roots, before it is written.
  rc::Result NoteUninstallEntry(const std::wstring& name);

  // The installation is over, whatever its result: the set-aside copies are
  // deleted and the journal removed.
  void Finish();

 private:
  rc::Result Append(const journal::Record& record);
  bool InsideCreatedFolder(const std::wstring& path) const;

  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::wstring path_;
  std::vector<std::wstring> createdFolders_;
  std::vector<std::wstring> backups_;
};

// The running installation's journal (inactive outside an installation).
extern InstallJournal Journal;

// Where the journal of the saver `name` lives: folder + name + ".lvj".
std::wstring JournalPathFor(const std::wstring& folder, const std::wstring& name);

// What RecoverInstallation found.
enum class Recovery {
  None,          // no journal
  Undone,        // a dead, unfinished installation was undone
  Finished,      // a dead, completed installation's set-aside copies were removed
  OwnerRunning,  // the journal's installation is still running: left alone
};
// Looks for a journal at `path` and deals with it. `beforeWork` runs once,
// when there is work to do (the caller shows its status text there). 0, or
// rc::kJournalUndoIncomplete when something could not be undone (the journal
// then stays for the next attempt).
rc::Result RecoverInstallation(const std::wstring& path, Recovery& found, void (*beforeWork)() = nullptr);
