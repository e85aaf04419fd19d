#include "payload/PackageReporter.h"

namespace payload {
namespace {

class SilentReporter : public PackageReporter {
 public:
  void ShowStatus(const std::wstring&) override {}
  void StepProgress() override {}
  void ShowInstallError(rc::Result, const std::wstring&) override {}
  bool CancelRequested() const override { return false; }
};

SilentReporter g_silent;
PackageReporter* g_reporter = &g_silent;

}  // namespace

void SetPackageReporter(PackageReporter* reporter) {
  g_reporter = reporter != nullptr ? reporter : &g_silent;
}

PackageReporter& Reporter() { return *g_reporter; }

}  // namespace payload
