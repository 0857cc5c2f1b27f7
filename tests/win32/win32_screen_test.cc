#include "platform/win32/win32_screen.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "app/frm_remitora.h"
#include "fakes/harness.h"
#include "platform/win32/code_page.h"
#include "platform/win32/win32_files.h"
#include "ui/frm_fenvio.h"
#include "win32/window_probe.h"

namespace postique::win32 {
namespace {

// The main window on the real Windows screen, over the in-memory fakes.
struct Desktop {
  testing::TempDir program;
  Win32Screen screen{::GetModuleHandleW(nullptr)};
  Win32Files files{program.path()};
  testing::RecordingLauncher launcher;
  testing::FakeProcess process;
  testing::FakeMailClient mail;
  frmRemitora window{{screen, files, launcher, process, mail, mail}};

  int dpi = screen.dpi();  // of the monitor the windows are on
  int Px(int twips) const { return TwipsToPixels(twips, dpi); }
  // A control's place in its parent's client area.
  RECT Place(HWND control) const {
    RECT r;
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
};

LOGFONTW FontOf(HWND hwnd) {
  LOGFONTW font{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font;
}

const wchar_t* ExpectedClass(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
      return L"Static";
    case ControlKind::kTextBox:
      return L"Edit";
    case ControlKind::kPanel:
    case ControlKind::kFrame:
      return L"PostiqueContainer";
    default:
      return L"Button";
  }
}

// Every control of a shown form where its table puts it, with its caption,
// font and visibility.
void ExpectLaidOut(const Desktop& d, const Form& form) {
  for (const Control& c : form.controls) {
    const HWND h = d.screen.ControlOf(form, c);
    if (c.kind == ControlKind::kMail) {
      EXPECT_EQ(h, nullptr) << c.name;
      continue;
    }
    ASSERT_NE(h, nullptr) << c.name;
    const std::string name = c.name + "(" + std::to_string(c.index) + ")";
    EXPECT_EQ(_wcsicmp(ClassOf(h).c_str(), ExpectedClass(c.kind)), 0) << name;
    EXPECT_EQ(TextOf(h), Wide(ShownText(c))) << name;
    const RECT r = d.Place(h);
    EXPECT_EQ(r.left, d.Px(c.left)) << name;
    EXPECT_EQ(r.top, d.Px(c.top)) << name;
    if (!c.autoSize) {
      EXPECT_EQ(r.right - r.left, d.Px(c.width)) << name;
    }
    EXPECT_EQ(r.bottom - r.top, d.Px(c.height)) << name;
    EXPECT_EQ(::IsWindowVisible(h) != 0, form.Shows(c)) << name;
    if (c.kind == ControlKind::kPanel || c.kind == ControlKind::kFrame) continue;  // no text
    const LOGFONTW font = FontOf(h);
    const Font& wanted = c.font.name.empty() ? Font{"MS Sans Serif", 8.25, false} : c.font;
    EXPECT_EQ(std::wstring(font.lfFaceName), NearestFace(wanted.name)) << name;
    EXPECT_EQ(font.lfWeight, wanted.bold ? FW_BOLD : FW_NORMAL) << name;
    EXPECT_EQ(font.lfHeight, -::MulDiv(static_cast<int>(wanted.points * 100), d.dpi, 7200)) << name;
  }
}

TEST(Win32Screen, TwipsBecomePixelsAtTheScreensDpi) {
  EXPECT_EQ(TwipsToPixels(1440, 96), 96);
  EXPECT_EQ(TwipsToPixels(15, 96), 1);
  EXPECT_EQ(TwipsToPixels(6735, 96), 449);
  EXPECT_EQ(TwipsToPixels(7, 96), 0);
  EXPECT_EQ(TwipsToPixels(8, 96), 1) << "rounded to the nearest pixel";
  EXPECT_EQ(TwipsToPixels(6735, 120), 561);
  EXPECT_EQ(TwipsToPixels(5400, 144), 540);
}

TEST(Win32Screen, FacesFallBackToAnInstalledOne) {
  EXPECT_FALSE(NearestFace("Arial").empty());
  LOGFONTW system{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof system, &system);
  EXPECT_EQ(NearestFace("Ninguna Fuente Así"), system.lfFaceName);
}

TEST(Win32Screen, TheMainWindowIsBuiltFromItsTable) {
  Desktop d;
  d.window.Show();
  const HWND main = d.screen.MainHandle();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(TextOf(main), Wide(kTitle));
  RECT client;
  ::GetClientRect(main, &client);
  EXPECT_EQ(client.right, d.Px(6735));
  EXPECT_EQ(client.bottom, d.Px(5400));
  const LONG_PTR style = ::GetWindowLongPtrW(main, GWL_STYLE);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) << "fixed, no buttons";
  EXPECT_TRUE(::GetWindowLongPtrW(main, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  ExpectLaidOut(d, d.window.form());
}

TEST(Win32Screen, TheStatusLabelGrowsWithItsTextUpToItsPanel) {
  Desktop d;
  d.window.Show();
  const Form& form = d.window.form();
  const HWND label = d.screen.ControlOf(form, form.at("LabelPie"));
  d.window.form().SetText("LabelPie", "ESTADO: Estableciendo Envio con Confirmación");
  const RECT grown = d.Place(label);
  EXPECT_GT(grown.right - grown.left, d.Px(585));
  EXPECT_LE(grown.right, d.Px(6735));
  d.window.form().SetText("LabelPie", "ESTADO: " + std::string(500, 'x'));
  EXPECT_EQ(d.Place(label).right, d.Px(6735)) << "as wide as the panel, no wider";

  // The echo of the job: each label as wide as its caption, the design
  // caption in its design width, a long one up to the window's edge.
  for (int i = 0; i < 5; ++i) {
    const Control& c = form.at("Label2", i);
    const HWND echo = d.screen.ControlOf(form, c);
    const RECT designed = d.Place(echo);
    EXPECT_NEAR(designed.right - designed.left, d.Px(c.width), 3) << c.text;
    d.window.form().SetText("Label2", i, c.text + ":ana@example.es");
    const RECT grown = d.Place(echo);
    EXPECT_GT(grown.right - grown.left, designed.right - designed.left + d.Px(900)) << i;
    d.window.form().SetText("Label2", i, std::string(400, 'x'));
    EXPECT_EQ(d.Place(echo).right, d.Px(6735)) << i;
  }
}

// Moved to a monitor of twice the DPI, as Windows tells a window that is
// aware of each monitor's.
TEST(Win32Screen, AWindowMovedToAMonitorOfAnotherDpiIsLaidOutAgain) {
  Desktop d;
  d.window.Show();
  const HWND main = d.screen.MainHandle();
  d.dpi = d.screen.dpi() * 2;
  RECT suggested{10, 20, 10 + d.Px(6735) + 16, 20 + d.Px(5400) + 40};
  ::SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(d.dpi, d.dpi),
                 reinterpret_cast<LPARAM>(&suggested));
  RECT at;
  ::GetWindowRect(main, &at);
  EXPECT_EQ(at.left, 10);
  EXPECT_EQ(at.right, suggested.right) << "where the system suggests";
  ExpectLaidOut(d, d.window.form());
}

TEST(Win32Screen, TheFrameCoversTheJobLabelsOnceShown) {
  Desktop d;
  d.window.Show();
  const Form& form = d.window.form();
  const HWND main = d.screen.MainHandle();
  const HWND label = d.screen.ControlOf(form, form.at("Label2", 1));
  RECT r = d.Place(label);
  const POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  EXPECT_EQ(::ChildWindowFromPointEx(main, middle, CWP_SKIPINVISIBLE), label);
  d.window.form().SetVisible("Frame1", true);
  EXPECT_EQ(::ChildWindowFromPointEx(main, middle, CWP_SKIPINVISIBLE),
            d.screen.ControlOf(form, form.at("Frame1")));
}

TEST(Win32Screen, OneLineCaptionsShowLineBreaksAsQuestionMarks) {
  Desktop d;
  d.window.Show();
  const Form& form = d.window.form();
  d.window.form().SetText("lblMsgSubject", "Hola\r\nESTADO: Pedido copiado\u202e");
  d.window.form().SetText("txtMsgNoteText", "uno\ndos\r\ntres");
  EXPECT_EQ(TextOf(d.screen.ControlOf(form, form.at("lblMsgSubject"))),
            L"Hola??ESTADO: Pedido copiado?");
  EXPECT_EQ(TextOf(d.screen.ControlOf(form, form.at("txtMsgNoteText"))), L"uno\r\ndos\r\ntres");
}

// What the user does while the dialog is up: run by a timer inside its
// modal loop, one step per tick.
std::vector<std::function<void(HWND dialog)>> userSteps;
const Form* shownDialog = nullptr;

void CALLBACK NextUserStep(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND dialog = ::FindWindowW(L"PostiqueForm", L"Forma de envio del MAIL");
  if (userSteps.empty() || !dialog) {
    ::KillTimer(nullptr, timer);
    return;
  }
  const auto step = userSteps.front();
  userSteps.erase(userSteps.begin());
  step(dialog);
}

// The dialog's option with the caption.
HWND Option(HWND dialog, const wchar_t* caption) {
  return FindWindowWhere(dialog, [&](HWND child) { return TextOf(child) == caption; });
}

int ChooseInDialog(Desktop& d, std::vector<std::function<void(HWND)>> steps) {
  userSteps = std::move(steps);
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 30, NextUserStep);
  std::shared_ptr<frmFEnvio> reference;
  reference = std::make_shared<frmFEnvio>(d.screen, reference);
  shownDialog = &reference->form();
  const int chosen = reference->A_FormaEnvio();
  ::KillTimer(nullptr, timer);
  EXPECT_TRUE(userSteps.empty()) << "the dialog closed before the user was done";
  EXPECT_EQ(reference, nullptr) << "the unload empties the reference";
  return chosen;
}

TEST(Win32Screen, TheDialogOpensOnNadaAndTheKeyboardActsLikeAClick) {
  Desktop d;
  d.window.Show();
  const auto pressKey = [](WPARAM key) {
    return [key](HWND) { ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 0); };
  };
  EXPECT_EQ(ChooseInDialog(d, {[&](HWND dialog) {
                                 EXPECT_EQ(
                                     ::SendMessageW(Option(dialog, L"nada"), BM_GETCHECK, 0, 0),
                                     BST_CHECKED);
                                 EXPECT_EQ(::GetFocus(), Option(dialog, L"nada"));
                                 EXPECT_FALSE(::IsWindowEnabled(d.screen.MainHandle())) << "modal";
                                 RECT client;
                                 ::GetClientRect(dialog, &client);
                                 EXPECT_EQ(client.right, d.Px(4560));
                                 EXPECT_EQ(client.bottom, d.Px(2160));
                                 ExpectLaidOut(d, *shownDialog);
                               },
                               pressKey(VK_UP)}),
            2)
      << "up from nada is Cancelar envio";
  EXPECT_TRUE(::IsWindowEnabled(d.screen.MainHandle()));
  EXPECT_EQ(ChooseInDialog(d, {pressKey(VK_DOWN)}), 6) << "down from nada wraps to OUTLOOK";
  EXPECT_EQ(ChooseInDialog(d, {[](HWND dialog) {
                             ::SendMessageW(Option(dialog, L"Enviar con THUNTERBIRD"), BM_CLICK, 0,
                                            0);
                           }}),
            7);
}

TEST(Win32Screen, NadaDoesNothingAndClosingTheDialogCancels) {
  Desktop d;
  d.window.Show();
  EXPECT_EQ(ChooseInDialog(
                d, {[](HWND dialog) { ::SendMessageW(Option(dialog, L"nada"), BM_CLICK, 0, 0); },
                    [](HWND dialog) {
                      EXPECT_TRUE(::IsWindowVisible(dialog)) << "still open";
                      ::PostMessageW(dialog, WM_CLOSE, 0, 0);
                    }}),
            2);
}

}  // namespace
}  // namespace postique::win32
