// The result code that a failure raised instead of returned stands for: the
// code it carries (a Windows error code for file failures), otherwise the
// damaged-installer code. Called only inside a catch handler: it rethrows the
// failure being handled to tell the kinds apart without run-time type queries.
#pragma once

#include <new>

#include "system/InstallerError.h"
#include "system/ResultCodes.h"

inline rc::Result CodeOfCurrentFailure() noexcept {
  try {
    throw;
  } catch (const InstallerError& error) {
    if (error.code() != 0) return error.code();
  } catch (const std::bad_alloc&) {
    return rc::kOutOfMemory;
  } catch (...) {
  }
  return rc::kInstallerBroken;
}
