// The panel under Wine with the stand-in player control registered.
#include <windows.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "StandinLog.h"
#include "SwfBuilder.h"
#include "TestFolder.h"
#include "WineBench.h"
#include "flash/FlashPanel.h"
#include "flash/ShockwaveFlashIds.h"
#include "system/InstallerError.h"

namespace {

class FlashPanelTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    bench::ResetFlashState();
    bench::UnregisterPlayer();
    SetEnvironmentVariableW(bench::kStandinLog, file("standin.log").c_str());
    ASSERT_TRUE(bench::RegisterControl(bench::StandinControl(player())));
    parent = std::make_unique<bench::ParentWindow>();
    panel = std::make_unique<TFlashPanel>(parent->handle());
    panel->enableAllowScale = true;
  }
  void TearDown() override {
    panel.reset();
    parent.reset();
    bench::UnregisterPlayer();
    bench::FreeUnusedControls();
    SetEnvironmentVariableW(bench::kStandinLog, nullptr);
    SetEnvironmentVariableW(bench::kStandinFail, nullptr);
    TempFolderTest::TearDown();
  }
  virtual std::wstring player() const { return L"7.0.19"; }

  std::wstring movie(const std::string& name, const Bytes& bytes) {
    WriteFile(file(name), bytes);
    return file(name).wstring();
  }
  std::wstring stringProperty(DISPID id) {
    ComVariant v;
    panel->flashControl->getProperty(id, v);
    return v->vt == VT_BSTR && v->bstrVal ? v->bstrVal : L"";
  }
  LONG longProperty(DISPID id) {
    ComVariant v;
    panel->flashControl->getProperty(id, v);
    return v->vt == VT_BOOL ? v->boolVal : v->lVal;
  }
  // A variable that a test set on a control, to tell it from a new one.
  std::wstring marker() {
    ComVariant value;
    panel->flashControl->callMethod(L"GetVariable", {L"marker"}, &value);
    return value->vt == VT_BSTR && value->bstrVal ? value->bstrVal : L"";
  }
  StandinLog::Calls callsOfMovieControl() { return StandinLog::Read(file("standin.log")).lastWith("Movie"); }

  std::unique_ptr<bench::ParentWindow> parent;
  std::unique_ptr<TFlashPanel> panel;
};

class FlashPanelPlayer6Test : public FlashPanelTest {
 protected:
  std::wstring player() const override { return L"6.0.79"; }
};

constexpr DISPID kDispidPlaying = 125;

TEST_F(FlashPanelTest, PlaysMovieInChildControlWithInstallerSettings) {
  const std::wstring path = movie("v6.swf", SwfBuilder().version(6).background(255, 102, 0).plain());
  ASSERT_EQ(0, panel->loadSWF(path));
  ASSERT_TRUE(panel->flashControl);
  EXPECT_EQ(path, stringProperty(flashids::kDispidMovie));
  EXPECT_EQ(L"Opaque", stringProperty(flashids::kDispidWMode));
  EXPECT_EQ(0, longProperty(flashids::kDispidScaleMode));
  EXPECT_EQ(VARIANT_FALSE, longProperty(flashids::kDispidMenu));
  EXPECT_EQ(VARIANT_TRUE, longProperty(kDispidPlaying));
  ComVariant align;
  panel->flashControl->callMethod(L"GetVariable", {L"Align"}, &align);
  EXPECT_STREQ(L"AlClient", align->bstrVal);

  HWND control = panel->flashControl->window();
  ASSERT_NE(nullptr, control);
  EXPECT_EQ(panel->handle(), GetParent(control));
  EXPECT_TRUE(IsWindowVisible(control));
  RECT panelArea, controlArea;
  GetClientRect(panel->handle(), &panelArea);
  GetClientRect(control, &controlArea);
  EXPECT_EQ(panelArea.right, controlArea.right);
  EXPECT_EQ(panelArea.bottom, controlArea.bottom);

  // The stand-in paints the movie's background colour.
  UpdateWindow(control);
  bench::Pump(100);
  HDC dc = GetDC(control);
  COLORREF pixel = GetPixel(dc, controlArea.right - 3, controlArea.bottom - 3);
  ReleaseDC(control, dc);
  EXPECT_EQ(RGB(255, 102, 0), pixel);
}

// The container's part, as the stand-in saw it: site before InitNew, ambient
// properties of the panel, in-place activation, hidden before the movie is
// set, shown after Play, and StopPlay before the control goes.
TEST_F(FlashPanelTest, HostFollowsTheContainerSequence) {
  const HFONT font = MakeFont(L"ＭＳ ゴシック", 15);  // 20 pixels: a size no default font has
  SendMessageW(panel->handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  ASSERT_EQ(0, panel->loadSWF(movie("a.swf", SwfBuilder().version(6).background(1, 2, 3).plain())));
  panel->setColor(TFlashPanel::kBlack);
  panel->unloadSWF();
  DeleteObject(font);

  const StandinLog::Calls calls = callsOfMovieControl();
  const StandinLog::Calls sequence = {"SetClientSite", "InitNew", "DoVerb -5", "DoVerb -3", "Movie",
                                      "Play", "DoVerb -1", "OnAmbientPropertyChange -701", "StopPlay",
                                      "Close", "SetClientSite null", "destroyed"};
  EXPECT_EQ(StandinLog::Only(calls, sequence), sequence);
  const std::string ambient = StandinLog::Starting(calls, "ambient");
  EXPECT_NE(std::string::npos, ambient.find("UserMode=1")) << ambient;
  EXPECT_NE(std::string::npos, ambient.find("BackColor=ffffff")) << ambient;
  EXPECT_NE(std::string::npos, ambient.find(" 15")) << "the panel's font: " << ambient;
  // The version probe is initialised the same way before it is asked.
  const StandinLog::Calls probe = {"SetClientSite", "InitNew", "FlashVersion", "destroyed"};
  EXPECT_EQ(StandinLog::Only(StandinLog::Read(file("standin.log")).lastWith("FlashVersion"), probe), probe);
}

// A control that fails a call: what the second of two loads gives and leaves.
// Creation failures (-403) leave no control; errors after the control was
// created leave it in place; a control that will not stop (-409) keeps playing
// the new movie.
TEST_F(FlashPanelTest, ControlFailuresReachTheResult) {
  enum class Left { None, New, Same };
  const struct {
    const wchar_t* fail;
    rc::Result result;
    Left left;
  } cases[] = {
      {L"create", rc::kControlNotCreated, Left::None},
      {L"SetClientSite", rc::kControlNotCreated, Left::None},
      {L"InitNew", rc::kControlNotCreated, Left::None},
      {L"DoVerb -5", 0, Left::New},
      {L"WMode", 0, Left::New},
      {L"DoVerb -3", rc::kMovieNotPlayed, Left::New},
      {L"Play", rc::kMovieNotPlayed, Left::New},
      {L"StopPlay", 0, Left::Same},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "failing " << std::string(c.fail, c.fail + wcslen(c.fail)));
    ASSERT_EQ(0, panel->loadSWF(movie("first" + std::to_string(n) + ".swf",
                                      SwfBuilder().version(6).background(1, 2, 3).plain())));
    panel->flashControl->callMethod(L"SetVariable", {L"marker", L"first control"});
    const std::wstring second =
        movie("second" + std::to_string(n++) + ".swf", SwfBuilder().version(6).background(4, 5, 6).plain());
    SetEnvironmentVariableW(bench::kStandinFail, c.fail);
    if (c.result == rc::kControlNotCreated) SetEnvironmentVariableW(bench::kStandinLog, nullptr);  // 10,000 tries
    EXPECT_EQ(c.result, panel->loadSWF(second));
    SetEnvironmentVariableW(bench::kStandinFail, nullptr);
    SetEnvironmentVariableW(bench::kStandinLog, file("standin.log").c_str());
    switch (c.left) {
      case Left::None:
        EXPECT_FALSE(panel->flashControl);
        break;
      case Left::New:
        ASSERT_TRUE(panel->flashControl);
        EXPECT_EQ(L"", marker());
        if (c.result == 0) {
          EXPECT_EQ(second, stringProperty(flashids::kDispidMovie));
        }
        break;
      case Left::Same:
        ASSERT_TRUE(panel->flashControl);
        EXPECT_EQ(L"first control", marker());
        EXPECT_EQ(second, stringProperty(flashids::kDispidMovie));
        break;
    }
    panel->unloadSWF();
    EXPECT_FALSE(panel->flashControl);
  }
}

TEST_F(FlashPanelTest, VersionThreeMoviePlays) {
  EXPECT_EQ(0, panel->loadSWF(movie("v3.swf", SwfBuilder().version(3).background(1, 2, 3).plain())));
  EXPECT_TRUE(panel->flashControl);
}

TEST_F(FlashPanelTest, EmptyOrSamePathReturnsAtOnce) {
  const std::wstring path = movie("v8.swf", SwfBuilder().version(8).background(1, 2, 3).plain());
  EXPECT_EQ(0, panel->loadSWF(L""));
  EXPECT_EQ(rc::kMovieTooNew, panel->loadSWF(path));
  EXPECT_EQ(path, panel->swfFilename);
  EXPECT_EQ(0, panel->loadSWF(path));
  EXPECT_FALSE(panel->flashControl);
}

TEST_F(FlashPanelTest, MovieCodesLeaveNoControl) {
  EXPECT_EQ(rc::kNotAMovie, panel->loadSWF(movie("t.swf", Bytes{'t', 'e', 'x', 't'})));
  EXPECT_EQ(rc::kMovieTooNew, panel->loadSWF(movie("8.swf", SwfBuilder().version(8).background(0, 0, 0).plain())));
  EXPECT_EQ(rc::kMovieTooOld, panel->loadSWF(movie("2.swf", SwfBuilder().version(2).background(0, 0, 0).plain())));
  EXPECT_FALSE(panel->flashControl);
}

TEST_F(FlashPanelTest, CompressedMoviePlaysFromCompressedFile) {
  const std::wstring path = movie("c.swf", SwfBuilder().version(7).background(0, 0, 255).compressed());
  ASSERT_EQ(0, panel->loadSWF(path));
  EXPECT_EQ(path, stringProperty(flashids::kDispidMovie));
  EXPECT_TRUE(bench::FileExists(panel->plainCopyPath()));
  EXPECT_NE(std::wstring::npos, panel->tempFolder.find(L"FlashPanel"));
}

TEST_F(FlashPanelTest, SecondLoadReplacesControl) {
  ASSERT_EQ(0, panel->loadSWF(movie("a.swf", SwfBuilder().version(5).background(1, 1, 1).plain())));
  HWND first = panel->flashControl->window();
  ASSERT_EQ(0, panel->loadSWF(movie("b.swf", SwfBuilder().version(6).background(2, 2, 2).plain())));
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(IsWindow(panel->flashControl->window()));
  EXPECT_EQ(file("b.swf").wstring(), stringProperty(flashids::kDispidMovie));
}

TEST_F(FlashPanelPlayer6Test, NewerMovieThanPlayerGives410AndKeepsPlaying) {
  const std::wstring first = movie("v6.swf", SwfBuilder().version(6).background(1, 1, 1).plain());
  ASSERT_EQ(0, panel->loadSWF(first));
  EXPECT_EQ(6, cachedFlashVersion);
  TFlashControl* control = panel->flashControl.get();
  const std::wstring second = movie("v7.swf", SwfBuilder().version(7).background(1, 1, 1).plain());
  EXPECT_EQ(rc::kPlayerTooOld, panel->loadSWF(second));
  EXPECT_EQ(control, panel->flashControl.get());
  EXPECT_EQ(first, stringProperty(flashids::kDispidMovie));
  EXPECT_EQ(second, panel->swfFilename);
}

TEST_F(FlashPanelTest, AllowScaleCommandOfPlayingMovieReachesPanel) {
  // The command lies beyond the header's window: only the event can report it.
  SwfBuilder b;
  b.version(6).background(1, 1, 1).text(std::string(2100, '.')).fscommand("allowscale", "false");
  ASSERT_EQ(0, panel->loadSWF(movie("cmd.swf", b.plain())));
  EXPECT_EQ(-1, panel->allowScale);
  bench::Pump(300);
  EXPECT_EQ(0, panel->allowScale);
}

TEST_F(FlashPanelTest, AllowScaleCommandIgnoredWhenDisabled) {
  panel->enableAllowScale = false;
  SwfBuilder b;
  b.version(6).background(1, 1, 1).text(std::string(2100, '.')).fscommand("AllowScale", "true")
      .fscommand("fullscreen", "false");
  ASSERT_EQ(0, panel->loadSWF(movie("cmd.swf", b.plain())));
  bench::Pump(300);
  EXPECT_EQ(-1, panel->allowScale);
  EXPECT_EQ(-1, panel->fullScreen);
}

TEST_F(FlashPanelTest, FSCommandArgumentsComparedOnFourLetters) {
  panel->allowScale = -1;
  panel->flashFSCommand(nullptr, L"allowscale", L"true");
  EXPECT_EQ(1, panel->allowScale);
  panel->flashFSCommand(nullptr, L"AllowScale", L"FALSE");
  EXPECT_EQ(0, panel->allowScale);
  panel->flashFSCommand(nullptr, L"ALLOWSCALE", L"TrueX");
  EXPECT_EQ(1, panel->allowScale);
  panel->flashFSCommand(nullptr, L"allowscale", L"TRU");
  EXPECT_EQ(0, panel->allowScale);
  panel->flashFSCommand(nullptr, L"fullscreen", L"true");
  EXPECT_EQ(0, panel->allowScale);
  panel->enableAllowScale = false;
  panel->flashFSCommand(nullptr, L"allowscale", L"true");
  EXPECT_EQ(0, panel->allowScale);
}

TEST_F(FlashPanelTest, UnloadTurnsBlackAndAllowsReload) {
  const std::wstring path = movie("a.swf", SwfBuilder().version(5).background(1, 1, 1).plain());
  ASSERT_EQ(0, panel->loadSWF(path));
  panel->unloadSWF();
  EXPECT_FALSE(panel->flashControl);
  EXPECT_TRUE(panel->swfFilename.empty());
  EXPECT_EQ(TFlashPanel::kBlack, panel->color());
  EXPECT_EQ(0, panel->loadSWF(path));
  EXPECT_TRUE(panel->flashControl);
}

TEST_F(FlashPanelTest, DestroyingPanelRemovesItsFolder) {
  ASSERT_EQ(0, panel->loadSWF(movie("c.swf", SwfBuilder().background(1, 2, 3).compressed())));
  const std::wstring folder = panel->tempFolder;
  ASSERT_TRUE(bench::FileExists(folder));
  panel.reset();
  EXPECT_FALSE(bench::FileExists(folder));
}

TEST_F(FlashPanelTest, MissingMovieFileStillPlays) {
  EXPECT_EQ(0, panel->loadSWF(file("absent.swf").wstring()));
  EXPECT_TRUE(panel->flashControl);
}

TEST_F(FlashPanelTest, ReadErrorOfDamagedMovieIsRaised) {
  Bytes damaged = SwfBuilder().version(6).tag(1, {}).plain();  // no background tag
  EXPECT_THROW(panel->loadSWF(movie("d.swf", damaged)), InstallerError);
}

TEST_F(FlashPanelTest, NoPlayerGives402WithoutLongWait) {
  bench::UnregisterPlayer();
  const DWORD start = GetTickCount();
  EXPECT_EQ(rc::kNoProbeControl, panel->loadSWF(movie("a.swf", SwfBuilder().version(5).background(1, 1, 1).plain())));
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_EQ(-1, cachedFlashVersion);
  EXPECT_FALSE(panel->flashControl);
}

TEST_F(FlashPanelTest, FocusMovieGivesKeyboardToControl) {
  ASSERT_EQ(0, panel->loadSWF(movie("a.swf", SwfBuilder().version(5).background(1, 1, 1).plain())));
  SetForegroundWindow(parent->handle());
  bench::Pump(50);
  panel->focusMovie();
  EXPECT_EQ(panel->flashControl->window(), GetFocus());
}

}  // namespace
