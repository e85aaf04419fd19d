// The Flash Player's ActiveX control as the installer uses it, with the small
// OLE container that hosts it in a window: a client site with in-place site,
// a frame that answers with the top-level window, and an event sink connected
// through the control's connection point for the FSCommand event.
// Properties are set by dispatch id, methods called by name through IDispatch.
// Failures raise ComError; nothing here shows anything to the user.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <functional>
#include <stdexcept>
#include <string>

class ComError : public std::runtime_error {
 public:
  ComError(const char* what, HRESULT hr) : std::runtime_error(what), hr_(hr) {}
  HRESULT hr() const noexcept { return hr_; }

 private:
  HRESULT hr_;
};

// Smart pointer for COM interfaces: releases what it holds.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// Keeps OLE initialised on this thread while it lives.
class OleSession {
 public:
  OleSession() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleSession() {
    if (ok_) OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;

 private:
  bool ok_;
};

class FlashControlSite;
class FlashEventSink;

class TFlashControl {
 public:
  using FSCommandHandler = std::function<void(const std::wstring& command, const std::wstring& args)>;

  // Creates a control object of the player's class (raises ComError when the
  // player is not installed or not usable). No window yet.
  TFlashControl();
  // Stops listening, deactivates the control, and releases it and the container.
  ~TFlashControl();
  TFlashControl(const TFlashControl&) = delete;
  TFlashControl& operator=(const TFlashControl&) = delete;

  // Shows the control as a child window of `parent` at 0,0 with that size.
  void setParent(HWND parent, int width, int height);
  // Connects `handler` to the control's FSCommand event.
  void setFSCommandHandler(FSCommandHandler handler);

  void putProperty(DISPID id, const VARIANT& value);
  void putInteger(DISPID id, LONG value);
  void putString(DISPID id, const std::wstring& value);
  void putBoolean(DISPID id, bool value);
  VARIANT getProperty(DISPID id);  // caller clears the result

  // Calls a method by name with string arguments (in order); returns its result.
  VARIANT callMethod(const wchar_t* name, std::initializer_list<std::wstring> args = {});

  void doVerb(LONG verb);
  void setFocus();
  HWND window() const;  // the control's own window; nullptr before setParent
  IDispatch* dispatch() const { return dispatch_.get(); }

 private:
  ComPtr<IDispatch> dispatch_;
  ComPtr<IOleObject> object_;
  FlashControlSite* site_ = nullptr;
  FlashEventSink* sink_ = nullptr;
  ComPtr<IConnectionPoint> connection_;
  DWORD cookie_ = 0;
  HWND parent_ = nullptr;
  RECT bounds_{};
};
