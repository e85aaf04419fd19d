// The installer window: the presentation (movie or picture), the licence text,
// the status line, the progress bar and the buttons. Its creation runs the
// whole start-up (PrepareInstaller); its buttons run the installation, cancel
// it and end the program.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/StatusDisplay.h"
#include "app/Window.h"
#include "app/WindowControls.h"
#include "payload/PackageReporter.h"
#include "system/ResultCodes.h"

class TFlashPanel;

class TInstallerForm : public ui::CustomWindow, public StatusView, public payload::PackageReporter {
 public:
  TInstallerForm();
  ~TInstallerForm() override;

  // Creates the window with its stored layout and runs FormCreate (the start-up).
  // The window is shown afterwards by Show(), unless the start-up closed it.
  bool Create(HWND owner);
  // Shows the window after creation (runs FormShow).
  void ShowAfterCreate();
  // Closes the window: FormCloseQuery, then FormClose and the end of the application.
  void Close();
  // The close box's path, taken by every way a user or another program asks
  // the program to close (close box, Alt+F4, Esc, the taskbar button, a WM_CLOSE
  // to any of its windows): ignored while the start-up runs (it ends the program
  // itself where it must), otherwise Close().
  void RequestClose();
  bool Closed() const { return closed_; }
  bool StartupRunning() const { return startupRunning_; }

  // --- start-up ---------------------------------------------------------------
  void FormCreate();
  void PrepareInstaller();
  void SetInstallCaption(const std::wstring& name);
  void FormShow();

  // --- window geometry -------------------------------------------------------------
  void ArrangeWindow();
  void FitWindowHeight();
  void FormResize();

  // --- installation --------------------------------------------------------------
  void installBtnClick();
  rc::Result RunInstallation();
  void ShowInstallingState();
  void setupFormForInstallationComplete(rc::Result result);
  void ResetAfterCancel();
  void AskOpenDisplayProperties();
  rc::Result InstallWithoutWindow();
  void RunSilent();

  // --- finish ---------------------------------------------------------------------------
  void cancelBtnClick();
  void doneBtnClick();
  void FormCloseQuery(bool& canClose);
  void FormClose();

  // --- status display (StatusView) ---------------------------------------------------
  void SetStatusText(const std::wstring& text) override;
  void StepProgressBar() override;
  void RunPauseTimer() override;
  void pauseTimerTimer();

  // --- what the package code reports (payload::PackageReporter) -------------------------
  void ShowStatus(const std::wstring& text) override;
  void StepProgress() override;
  void ShowInstallError(rc::Result code, const std::wstring& detail) override;
  bool CancelRequested() const override;

  // The application-wide message filter: no window of the installer reacts to a
  // right click, and the window's keys (HandleKey) work wherever its focus is.
  static void ApplicationEvents1Message(MSG& message, bool& handled);

  // --- keyboard ---------------------------------------------------------------------------
  // Tab and Shift+Tab move the focus between the licence text and the visible,
  // enabled buttons; Enter presses the focused button; Esc acts as the close box.
  // True when `message` was one of these keys for this window.
  bool HandleKey(const MSG& message);
  // Gives `control` the keyboard focus, with the look of the button Enter presses.
  void FocusControl(const ui::Window& control);

  // Shows a picture file in bmpPanel (".BMP" Windows bitmap, ".jpg" JPEG).
  // False, and an empty picture, when the file cannot be loaded.
  bool LoadPicture(const std::wstring& path);

  // Controls, named as in the stored layout.
  ui::Panel contentPanel;
  ui::ImageBox bmpPanel;
  std::unique_ptr<TFlashPanel> moviePanel1;  // hosts the Flash control
  ui::Panel buttonPanel;
  ui::Label labCopying;
  ui::ProgressBar progressBar;
  ui::Button installBtn;
  ui::Button doneBtn;
  ui::Button cancelBtn;
  ui::MemoBox licenseScrollBox;
  ui::Timer pauseTimer;

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateControls();
  void CreateProgressBar();
  // The controls Tab visits, in order, as far as they are visible and enabled.
  std::vector<const ui::Window*> FocusOrder() const;
  void MoveFocus(bool backwards);
  // The button of a command id; nullptr for any other id.
  const ui::Button* ButtonOf(int id) const;
  // At the end of the start-up: centred on the screen at the size it now has.
  void CentreOnScreen();
  void SetSizeable(bool sizeable);
  void SetMinimumSize(int width, int height);
  rc::Result LoadLicenseText(const std::wstring& path);

  std::unique_ptr<ui::Font> font_;
  int minWidth_ = 0;
  int minHeight_ = 0;
  bool closed_ = false;
  bool startupRunning_ = false;
  // The licence box's height as the start-up set it: the height the window is fitted to
  // (the box itself follows every resize).
  int licenseHeight_ = 0;
  // Something of this installation has been written to the target (the target was prepared).
  bool targetTouched_ = false;
  // The control that had the focus when the window was last active; it gets it back.
  HWND lastFocus_ = nullptr;
};

// The one installer window of the process (nullptr when there is none).
extern TInstallerForm* InstallerForm;

// Control ids of the buttons.
constexpr int kInstallButtonId = 1001;
constexpr int kDoneButtonId = 1002;
constexpr int kCancelButtonId = 1003;
