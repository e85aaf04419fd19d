#include "flash/SetupProcessTree.h"

#include <tlhelp32.h>

#include <algorithm>
#include <vector>

#include "system/SafeLoading.h"

namespace {

// GetProcessId came with Windows XP SP1; looked up so that older systems
// still start the installer (they follow the setup through the job alone).
DWORD ProcessIdOf(HANDLE process) {
  using GetProcessIdFn = DWORD(WINAPI*)(HANDLE);
  static const auto getProcessId =
      ExportedFunction<GetProcessIdFn>(GetModuleHandleW(L"kernel32.dll"), "GetProcessId");
  return getProcessId ? getProcessId(process) : 0;
}

constexpr int kMaxSweeps = 8;  // a setup that keeps starting processes cannot hold us here

bool StillRunning(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

// Every process of the system with its parent's id; empty when no snapshot can be taken.
std::vector<SetupProcessTree::ProcessEntry> TakeSnapshot() {
  std::vector<SetupProcessTree::ProcessEntry> entries;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return entries;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    entries.push_back({entry.th32ProcessID, entry.th32ParentProcessID});
  CloseHandle(snapshot);
  return entries;
}

}  // namespace

void SetupProcessTree::track(HANDLE process) {
  reset();
  process_ = process;
  if (!process_) return;
  rootId_ = ProcessIdOf(process_);
  if (rootId_) known_.push_back(rootId_);
  if (tracking_ != Tracking::Job) return;

  job_ = CreateJobObjectW(nullptr, nullptr);
  if (!job_) return;
  // A process that asks to leave the job may: following the setup must never
  // make its own process creation fail.
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  AssignProcessToJobObject(job_, process_);
  // Children started before the setup joined join now, and so do theirs,
  // until a snapshot shows nothing new. Whoever cannot join is found by
  // snapshots later.
  for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
    const std::vector<DWORD> found = findNewDescendants(TakeSnapshot());
    if (found.empty()) break;
    for (DWORD id : found) joinJob(id);
  }
}

void SetupProcessTree::joinJob(DWORD processId) {
  HANDLE child = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, processId);
  if (!child) return;  // already ended
  AssignProcessToJobObject(job_, child);
  CloseHandle(child);
}

void SetupProcessTree::reset() {
  if (job_) CloseHandle(job_);
  if (process_) CloseHandle(process_);
  job_ = process_ = nullptr;
  rootId_ = 0;
  known_.clear();
}

bool SetupProcessTree::running() {
  if (!process_) return false;
  if (StillRunning(process_)) return true;
  if (job_) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &accounting,
                                  sizeof accounting, nullptr) &&
        accounting.ActiveProcesses > 0)
      return true;
  }
  // Processes outside the job (they could not join, or left it) are found by
  // their parents. The setup's own id is left out: once it has ended, another process may get it.
  const std::vector<ProcessEntry> processes = TakeSnapshot();
  findNewDescendants(processes);
  for (const ProcessEntry& p : processes)
    if (p.id != rootId_ && knows(p.id)) return true;
  return false;
}

bool SetupProcessTree::knows(DWORD id) const {
  return std::find(known_.begin(), known_.end(), id) != known_.end();
}

std::vector<DWORD> SetupProcessTree::findNewDescendants(const std::vector<ProcessEntry>& processes) {
  std::vector<DWORD> added;
  if (known_.empty()) return added;
  // Parents may be listed after their children: repeat until nothing is added.
  for (bool grew = true; grew;) {
    grew = false;
    for (const ProcessEntry& p : processes) {
      if (p.id == 0 || knows(p.id) || !knows(p.parentId)) continue;
      known_.push_back(p.id);
      added.push_back(p.id);
      grew = true;
    }
  }
  return added;
}
