// Whether a started program, or any process it started in turn, still runs.
// A setup program may hand its work to a child process and end at once:
// waiting "while the setup runs" means waiting while any of them runs.
//
// The processes are gathered in a job object (Windows 2000 and later), which
// every process they start joins by itself; processes started before the
// setup joined are found in a process snapshot by their parent's id and join
// then. A process that is in a job of its own cannot join a second one before
// Windows 8, and one may leave the job: such processes, and all of them when
// asked to, are followed through process snapshots, where every process whose
// parent is one of the setup's processes is one of them.
#pragma once

#include <windows.h>

#include <vector>

class SetupProcessTree {
 public:
  enum class Tracking {
    Job,       // a job object, with snapshots where a process cannot join it
    Snapshot,  // process snapshots only
  };

  explicit SetupProcessTree(Tracking tracking = Tracking::Job) : tracking_(tracking) {}
  ~SetupProcessTree() { reset(); }
  SetupProcessTree(const SetupProcessTree&) = delete;
  SetupProcessTree& operator=(const SetupProcessTree&) = delete;

  // Follows `process` (the handle is taken over; nullptr follows nothing) and
  // every process it has started so far or starts later.
  void track(HANDLE process);
  // Forgets the processes (they go on running).
  void reset();
  // True while the process or one of its descendants runs.
  bool running();

  struct ProcessEntry {
    DWORD id;
    DWORD parentId;
  };

 private:
  // Adds the processes of `processes` that descend from known ones to
  // known_; returns the ids added.
  std::vector<DWORD> findNewDescendants(const std::vector<ProcessEntry>& processes);
  bool knows(DWORD id) const;
  void joinJob(DWORD processId);

  Tracking tracking_;
  HANDLE process_ = nullptr;
  HANDLE job_ = nullptr;
  DWORD rootId_ = 0;          // the started process's id; 0 where the system cannot tell
  std::vector<DWORD> known_;  // ids of the setup's processes, ended ones included (a few)
};
