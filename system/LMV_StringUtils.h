// The texts that name a screen saver to the user: the installer window's
// caption and the name in the list of installed programs. Portable: the
// catalogue texts come through the `load` function (LoadMessage on Windows).
#pragma once

#include <functional>
#include <string>

// The decimal digits of `value` ("-" first when negative). std::to_wstring would
// go through the C library's wide printf, which brings its whole formatting
// engine (floating point included) into the installer image.
std::wstring DecimalText(long long value);

// Looks up a catalogue text by its number (msg::sXxx).
using MessageLookup = std::function<std::wstring(int id)>;

// True when `part` occurs in `text`, ignoring the case of the ASCII letters
// A-Z only. An empty part never matches.
bool TextContains(const std::wstring& text, const std::wstring& part);

// "インストール: name" when the name already says screen saver (an ASCII
// saver word or "スクリーンセーバー"), else "インストール スクリーンセーバー: name".
std::wstring MakeInstallCaption(const std::wstring& name, const MessageLookup& load);

// The name itself when it contains an ASCII saver word, else the name, a
// space and "スクリーンセーバー". The Japanese word alone does not count here.
std::wstring MakeSaverDisplayName(const std::wstring& name, const MessageLookup& load);
