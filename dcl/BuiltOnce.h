// Lookup tables built on first use instead of stored in the library's file. The
// first caller builds the table; a thread that comes meanwhile waits the few
// microseconds that takes. Both statics are constant-initialised, so no lock of
// the C++ runtime is involved.
#pragma once

#include <atomic>

namespace dcl {

// `build` fills a zeroed Table.
template <typename Table, void (*build)(Table&)>
const Table& BuiltOnce() {
  enum State : int { kAbsent, kBuilding, kReady };
  static Table table;
  static std::atomic<int> state{kAbsent};
  if (state.load(std::memory_order_acquire) == kReady) return table;
  int expected = kAbsent;
  if (state.compare_exchange_strong(expected, kBuilding, std::memory_order_acquire)) {
    build(table);
    state.store(kReady, std::memory_order_release);
  }
  while (state.load(std::memory_order_acquire) != kReady) {
  }
  return table;
}

}  // namespace dcl
