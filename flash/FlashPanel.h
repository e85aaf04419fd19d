// The panel that shows the installer's movie: a child window that hosts the
// Flash Player's control and plays one movie file in it. Before it hands a
// movie to the player it reads the file itself (TSwfMovie) and refuses movies
// outside versions 3 to 7 or newer than the installed player.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "flash/FlashControl.h"
#include "flash/SwfMovie.h"

class TFlashPanel : public TSwfMovie {
  // Declared first, so OLE outlives every member: it stays initialised (and
  // the player's library loaded) from the version probe to the last control.
  OleSession ole_;

 public:
  static constexpr COLORREF kWhite = RGB(255, 255, 255);
  static constexpr COLORREF kBlack = RGB(0, 0, 0);
  static constexpr int kCreateAttempts = 10000;

  // Creates the panel as a child window filling the client area of `parent`:
  // white, no bevel. A failure to create the window leaves handle() empty.
  explicit TFlashPanel(HWND parent);
  // Frees the control and deletes the panel's temporary folder.
  ~TFlashPanel() override;
  TFlashPanel(const TFlashPanel&) = delete;
  TFlashPanel& operator=(const TFlashPanel&) = delete;

  HWND handle() const { return window_; }
  COLORREF color() const { return color_; }
  void setColor(COLORREF color);
  // Places the panel inside its parent (the layout gives 1, 1, 350 x 150).
  void setBounds(int x, int y, int width, int height);
  // Fills the parent's client area.
  void alignToParent();

  // Loads and plays a movie. 0 when it plays; kNoProbeControl,
  // kControlNotCreated, kNotAMovie, kMovieTooNew, kMovieTooOld, kPlayerTooOld,
  // kMovieNotPlayed or the system code of a failed temporary-folder creation.
  // File, read and decompression failures of the movie are raised (InstallerError).
  rc::Result loadSWF(const std::wstring& path);
  // Stops and frees the control; the panel turns black and forgets the movie.
  void unloadSWF();
  // Gives the keyboard to the movie when the panel is visible and plays one.
  void focusMovie();
  // Gives a keystroke aimed at the movie to the control first (the
  // application's message loop calls it for every message); true when the
  // control used it and it must not be dispatched.
  bool translateAccelerator(MSG& message);
  // Handler of the control's FSCommand event.
  void flashFSCommand(TFlashControl* sender, const std::wstring& command, const std::wstring& args);

  rc::Result checkFlashVersion();
  rc::Result createFlashControl();
  // Hide verb, Movie, Play, show verb; kMovieNotPlayed when the control refuses
  // one of them (the control stays in place).
  rc::Result playSWF();
  rc::Result destroyFlashControl();
  void setAllowScale(std::int32_t value);

  // Published properties.
  bool enableAllowScale = false;
  std::int32_t scaleFactor = 0;  // kept, no behaviour
  std::wstring defaultSWF;       // kept, no behaviour

  std::unique_ptr<TFlashControl> flashControl;  // none while no movie is shown

 protected:
  rc::Result createTempFolder(MoviePath& folder) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void paint();
  // What the control's site answers for the ambient colours and font.
  ControlAmbience ambience() const;
  void ambienceChanged(DISPID which);

  HWND window_ = nullptr;
  COLORREF color_ = kWhite;
  HFONT font_ = nullptr;  // set by WM_SETFONT, not owned
};
