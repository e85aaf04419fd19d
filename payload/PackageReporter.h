// How the package code tells the user where it stands and what failed, and how
// it learns that the user asked to stop: the installer window implements this,
// so that the package code needs nothing of the window. Without a reporter
// (tools, tests that do not look) status and progress go nowhere, failures are
// not shown and nothing is cancelled.
#pragma once

#include <string>

#include "system/ResultCodes.h"

namespace payload {

class PackageReporter {
 public:
  virtual ~PackageReporter() = default;
  // The status line.
  virtual void ShowStatus(const std::wstring& text) = 0;
  // One progress step; the window handles pending clicks while it pauses.
  virtual void StepProgress() = 0;
  // The error box for a result code; detail is the path concerned.
  virtual void ShowInstallError(rc::Result code, const std::wstring& detail) = 0;
  // The user asked to stop the running installation.
  virtual bool CancelRequested() const = 0;
};

// The reporter for every later report; nullptr restores the silent one.
void SetPackageReporter(PackageReporter* reporter);
PackageReporter& Reporter();

}  // namespace payload
