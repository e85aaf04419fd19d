// Modal message boxes of the installer: three kinds, each with its own title and icon.
// Every error and information box has exactly one button, "中止"; questions use
// "OK"/"キャンセル" or "はい"/"いいえ", on any system language.
//
// All boxes go through ShowMessageBox, so that tests can answer them by script
// (SetBoxResponder) instead of a person clicking.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

enum class BoxKind { Error, Information, Confirmation };
enum class BoxButtons { Abort, OkCancel, YesNo };
enum class BoxAnswer { Abort, Ok, Cancel, Yes, No };

// Shows the box and returns the answer. Closing a box counts as Abort for a
// one-button box and as Cancel for an OK/Cancel question.
BoxAnswer ShowMessageBox(BoxKind kind, const std::wstring& text, BoxButtons buttons);

// Error box with its single "中止" button.
inline void ShowErrorBox(const std::wstring& text) {
  ShowMessageBox(BoxKind::Error, text, BoxButtons::Abort);
}

// Where every box's owner comes from: the program names the window the user
// sees. Without a source a box is owned by the active window, if any.
using BoxOwnerSource = HWND (*)();
void SetBoxOwnerSource(BoxOwnerSource source);

// The title a box of this kind carries: "エラー", "Information" or "確認".
std::wstring BoxTitle(BoxKind kind);

// Test seam: while a responder is set, it answers every box instead of the user.
using BoxResponder = std::function<BoxAnswer(BoxKind, const std::wstring& text, BoxButtons)>;
void SetBoxResponder(BoxResponder responder);
