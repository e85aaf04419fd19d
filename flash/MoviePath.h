// File and folder names in the movie code: the system's own path string (UTF-16
// on Windows, bytes on the host). A plain string keeps the installer free of a
// path library, whose conversions bring the C++ library's locale machinery along.
#pragma once

#include <string>

#ifdef _WIN32
using MoviePath = std::wstring;
#else
using MoviePath = std::string;
#endif

// `folder` and `name` joined by one separator; `name` is ASCII.
MoviePath JoinPath(const MoviePath& folder, const std::string& name);

// The path in UTF-8, for error messages.
std::string PathUtf8(const MoviePath& path);

// True when anything (file or folder) exists at `path`.
bool PathExists(const MoviePath& path);

// The system's temporary folder: GetTempPath on Windows; on the host TMPDIR, else /tmp.
MoviePath SystemTempFolder();
