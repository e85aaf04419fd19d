#include "tools/lvpack/Interrupt.h"

#include <csignal>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <cwchar>
#else
#include <unistd.h>
#endif

namespace lvpack {
namespace {

// The handler may only touch plain static memory: paths live in fixed arrays,
// a slot counts once its flag is set (after its path is complete).
constexpr int kSlots = 16;
constexpr std::size_t kPathChars = 4096;
using Char = std::filesystem::path::value_type;

Char gPaths[kSlots][kPathChars];
volatile std::sig_atomic_t gInUse[kSlots];

void RemoveRegistered() {
  for (int i = 0; i < kSlots; ++i) {
    if (!gInUse[i]) continue;
#ifdef _WIN32
    _wremove(gPaths[i]);
#else
    unlink(gPaths[i]);
#endif
  }
}

extern "C" void OnInterrupt(int signal) {
  RemoveRegistered();
  std::signal(signal, SIG_DFL);
  std::raise(signal);  // end as the signal would have ended the process
}

}  // namespace

int RegisterTemporary(const std::filesystem::path& path) {
  const auto& native = path.native();
  if (native.size() >= kPathChars) return -1;
  for (int i = 0; i < kSlots; ++i) {
    if (gInUse[i]) continue;
    std::memcpy(gPaths[i], native.c_str(), (native.size() + 1) * sizeof(Char));
    gInUse[i] = 1;
    return i;
  }
  return -1;
}

void ForgetTemporary(int token) {
  if (token >= 0 && token < kSlots) gInUse[token] = 0;
}

void InstallInterruptCleanup() {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
}

}  // namespace lvpack
