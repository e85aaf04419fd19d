// The result code that a failure raised instead of returned stands for: the
// code it carries (a Windows error code for file failures), otherwise the
// damaged-installer code.
#pragma once

#include <exception>
#include <new>

#include "system/InstallerError.h"
#include "system/ResultCodes.h"

inline rc::Result CodeOfRaisedFailure(const std::exception& failure) {
  if (const auto* error = dynamic_cast<const InstallerError*>(&failure)) {
    if (error->code() != 0) return error->code();
  }
  if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) return rc::kOutOfMemory;
  return rc::kInstallerBroken;
}
