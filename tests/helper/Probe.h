// Driving a running installer from outside its process, the way a person would:
// start it, wait for its windows, read captions and sizes, press buttons, answer
// message boxes, right-click, take screenshots, wait for its end. Nothing is
// assumed about the installer's insides; every wait is bounded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace probe {

constexpr DWORD kDefaultTimeoutMs = 15000;

// A started program; killed (and its handles closed) when it goes out of scope
// while still running.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts `path`; `environment` entries "NAME=value" are added to (or replace
  // those of) this process's environment; `arguments` are quoted as needed.
  bool Start(const std::wstring& path, const std::vector<std::wstring>& environment = {},
             const std::vector<std::wstring>& arguments = {});
  DWORD id() const { return id_; }
  bool Running() const;
  // Waits for the end; false on timeout. `exitCode` is the process's exit code.
  bool WaitExit(DWORD& exitCode, DWORD timeoutMs = kDefaultTimeoutMs);
  void Kill();

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// Top-level windows of process `pid` with the class (empty: any) and caption
// (empty: any). visibleOnly skips hidden windows.
std::vector<HWND> FindTopWindows(DWORD pid, const std::wstring& className,
                                 const std::wstring& caption, bool visibleOnly);
// The first such window, waiting for it (looking every pollMs); nullptr on timeout.
constexpr DWORD kPollMs = 50;
HWND WaitForWindow(DWORD pid, const std::wstring& className, const std::wstring& caption,
                   bool visibleOnly = true, DWORD timeoutMs = kDefaultTimeoutMs,
                   DWORD pollMs = kPollMs);
// Waits until no such visible window remains; false on timeout.
bool WaitWindowGone(HWND window, DWORD timeoutMs = kDefaultTimeoutMs);

// WM_GETTEXT (with a timeout, so a hung program cannot stop the probe).
std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);
RECT WindowRectOf(HWND window);
RECT ClientRectOf(HWND window);
// Bounds of `child` in its parent's client coordinates.
RECT RectInParent(HWND child);
bool IsVisible(HWND window);
bool IsEnabled(HWND window);
LONG StyleOf(HWND window);
LONG ExStyleOf(HWND window);

// All descendants of `parent` (depth first).
std::vector<HWND> Descendants(HWND parent);
// The first descendant of the class whose caption is `text` (empty: any).
HWND FindDescendant(HWND parent, const std::wstring& className, const std::wstring& text);
HWND DescendantById(HWND parent, int id);
// Waits for a descendant's caption to become `text`.
bool WaitForText(HWND window, const std::wstring& text, DWORD timeoutMs = kDefaultTimeoutMs);

// Presses a button as a click would, without waiting for what the click starts.
void Click(HWND button);
// A real right click (button down and up) at the centre of `window`.
void RightClick(HWND window);
// Asks a top-level window to close (WM_CLOSE, as the close box does).
void RequestClose(HWND window);
// Drags the window's bottom-right corner with the mouse by (dx, dy) pixels, as a
// person resizing it would; the system's sizing applies the window's limits.
void DragCorner(HWND window, int dx, int dy);

// A message box of the program (dialog class "#32770") with this title.
HWND WaitForBox(DWORD pid, const std::wstring& title, DWORD timeoutMs = kDefaultTimeoutMs);
// The box's text (its static text control).
std::wstring BoxText(HWND box);
// Captions of the box's buttons, in child order.
std::vector<std::wstring> BoxButtons(HWND box);
// Presses the box's button with this caption; false when there is none.
bool AnswerBox(HWND box, const std::wstring& caption);

// Makes `window` the foreground window, so that keys go to it.
void Activate(HWND window);
// Presses and releases `key` as the keyboard would, with Shift or Alt held when
// asked; the keys go to whatever window has the focus.
void PressKey(WORD key, bool shift = false, bool alt = false);
// The window that has the keyboard focus in the thread of `window`; nullptr when none.
HWND FocusOf(HWND window);
// The window that owns `window` (GW_OWNER); nullptr when none.
HWND OwnerOf(HWND window);

// A pop-up menu window (class "#32768") visible anywhere.
bool AnyPopupMenuVisible();

// Saves the whole screen as a 24-bit BMP file.
bool SaveScreenshot(const std::wstring& path);

// Waits `ms` milliseconds.
void Pause(DWORD ms);

}  // namespace probe
