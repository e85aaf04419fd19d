// The trace log. The installer keeps no log: the texts handed to these routines
// are composed at the trace points and dropped here.
#pragma once

#include <string>

inline void LogEnter(const std::wstring& /*routine*/, const std::wstring& /*detail*/ = {}) {}
inline void LogMessage(const std::wstring& /*text*/) {}
inline void LogLeave(const std::wstring& /*routine*/) {}
inline void LogEnd() {}
