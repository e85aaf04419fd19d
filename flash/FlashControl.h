// The Flash Player's ActiveX control as the installer uses it, hosted the way
// a standard ActiveX container hosts a control:
//   creation: the object, its misc status, the client site first when the
//   control asks for it (OLEMISC_SETCLIENTSITEFIRST), InitNew through
//   IPersistStreamInit or IPersistPropertyBag (a control with neither needs
//   none), then the site for the others;
//   in a window: extent and in-place activation in the panel;
//   while it lives: ambient properties through the site, keystrokes through
//   IOleInPlaceActiveObject::TranslateAccelerator, FSCommand events through
//   a connection point;
//   at the end: events unhooked, in-place deactivation, Close, the site
//   taken back, every interface released, and only then OLE.
// Properties are set by dispatch id, methods called by name through IDispatch.
// Failures raise ComError; nothing here shows anything to the user.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "flash/ComSupport.h"
#include "flash/FlashControlSite.h"

class FlashEventSink;

class TFlashControl {
 public:
  using FSCommandHandler = std::function<void(const std::wstring& command, const std::wstring& args)>;

  // Creates and initialises a control object of the player's class (raises
  // ComError when the player is not installed, or refuses its site or its
  // initialisation; nothing is left behind then). No window yet.
  explicit TFlashControl(const ControlAmbience& ambience = ControlAmbience::System());
  ~TFlashControl();
  TFlashControl(const TFlashControl&) = delete;
  TFlashControl& operator=(const TFlashControl&) = delete;

  // Shows the control as a child window of `parent` at 0,0 with that size.
  void setParent(HWND parent, int width, int height);
  // Connects `handler` to the control's FSCommand event.
  void setFSCommandHandler(FSCommandHandler handler);
  // New ambient values; the control is told that property `changed` (or, for
  // DISPID_UNKNOWN, any of them) changed.
  void setAmbience(const ControlAmbience& ambience, DISPID changed);

  void putInteger(DISPID id, LONG value);
  void putString(DISPID id, const std::wstring& value);
  void putBoolean(DISPID id, bool value);
  void getProperty(DISPID id, ComVariant& result);

  // Calls a method by name with string arguments (in order); its result goes
  // to `result` when given, else it is cleared.
  void callMethod(const wchar_t* name, std::initializer_list<std::wstring> args = {},
                  ComVariant* result = nullptr);

  void doVerb(LONG verb);
  void setFocus();
  // Offers a keystroke aimed at the control's window to the control (for its
  // own accelerators and keys); true when the control used it.
  bool translateAccelerator(MSG& message);
  HWND window() const;  // the control's own window; nullptr before setParent

 private:
  void attachSite();
  void initNew();
  void putProperty(DISPID id, VARIANT& value);
  void release() noexcept;

  OleSession ole_;  // first member: OLE stays initialised until every interface below is gone
  ComPtr<FlashControlSite> site_;
  ComPtr<IOleObject> object_;
  ComPtr<IDispatch> dispatch_;
  bool siteAttached_ = false;
  ComPtr<FlashEventSink> sink_;
  ComPtr<IConnectionPoint> connection_;
  DWORD cookie_ = 0;
  HWND parent_ = nullptr;
  RECT bounds_{};
};
