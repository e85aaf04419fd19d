// What tests ask of the stand-in player through its environment (set by the
// test, inherited by the installer it starts):
//   LV_FLASH_STANDIN_LOG   a file; every call the host makes on a control is
//                          appended as one line "<pid>.<control> <call>", in order;
//   LV_FLASH_STANDIN_FAIL  calls that fail, comma-separated, named as in the
//                          log ("create", "SetClientSite", "InitNew", "StopPlay",
//                          "Play", "Movie", "WMode", "DoVerb -5", ...).
#pragma once

#include <string>

namespace standin {

// Appends one line for control `control` (0: the class factory).
void Record(long control, const std::wstring& call);

// True when the tests asked `call` to fail.
bool Refused(const std::wstring& call);

}  // namespace standin
