#include "platform/win32/win32_screen.h"

#include <algorithm>
#include <cmath>

#include "base/ports.h"
#include "platform/win32/code_page.h"
#include "platform/win32/last_error_failure.h"
#include "platform/win32/win32_form_window.h"

namespace postique::win32 {

namespace {

constexpr wchar_t kBoxTitle[] = L"Postique";
constexpr int kIconResource = 1;

COLORREF ColorOf(const Color& color, int systemDefault) {
  switch (color.kind) {
    case Color::Kind::kSystemHighlight:
      return ::GetSysColor(COLOR_HIGHLIGHT);
    case Color::Kind::kRgb:
      return RGB(color.red, color.green, color.blue);
    case Color::Kind::kDefault:
      break;
  }
  return ::GetSysColor(systemDefault);
}

// The colour behind a control: its own, else what its kind shows by itself,
// else that of its container.
COLORREF BackOf(const Form& form, const Control* control) {
  if (!control) return ColorOf(form.back, COLOR_BTNFACE);
  if (control->back.kind != Color::Kind::kDefault) return ColorOf(control->back, COLOR_BTNFACE);
  switch (control->kind) {
    case ControlKind::kPanel:
    case ControlKind::kButton:
      return ::GetSysColor(COLOR_BTNFACE);
    case ControlKind::kTextBox:
      return ::GetSysColor(COLOR_WINDOW);
    default:
      return BackOf(form, control->parent.empty() ? nullptr : &form.at(control->parent));
  }
}

}  // namespace

Win32Screen::Win32Screen(HINSTANCE instance) : instance_(instance) {
  const HDC dc = ::GetDC(nullptr);
  dpi_ = ::GetDeviceCaps(dc, LOGPIXELSY);
  ::ReleaseDC(nullptr, dc);
  icon_ = static_cast<HICON>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 16, 16, 0));

  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = FormProc;
  form.hInstance = instance;
  form.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  form.lpszClassName = kFormClass;
  WNDCLASSEXW container = form;
  container.lpfnWndProc = ContainerProc;
  container.lpszClassName = kContainerClass;
  for (const WNDCLASSEXW* c : {&form, &container}) {
    if (!::RegisterClassExW(c) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      throw LastErrorFailure(::GetLastError(), Utf8(c->lpszClassName));
    }
  }
}

Win32Screen::~Win32Screen() {
  main_ = nullptr;  // closing it here is no request to quit
  for (const auto& w : windows_) {
    if (w->hwnd) ::DestroyWindow(w->hwnd);
  }
  for (const auto& [key, font] : fonts_) ::DeleteObject(font);
  for (const auto& [color, brush] : brushes_) ::DeleteObject(brush);
  if (icon_) ::DestroyIcon(icon_);
}

Win32Screen::Window* Win32Screen::Find(const Form& form) const {
  for (const auto& w : windows_) {
    if (w->form == &form && w->hwnd) return w.get();
  }
  return nullptr;
}

Win32Screen::Window* Win32Screen::Find(HWND hwnd) const {
  for (const auto& w : windows_) {
    if (w->hwnd && w->hwnd == hwnd) return w.get();
  }
  return nullptr;
}

HWND Win32Screen::WindowOf(const Form& form) const {
  const Window* w = Find(form);
  return w ? w->hwnd : nullptr;
}

HWND Win32Screen::ControlOf(const Form& form, const Control& control) const {
  const Window* w = Find(form);
  return w ? w->controls[static_cast<size_t>(&control - form.controls.data())] : nullptr;
}

HBRUSH Win32Screen::BrushFor(COLORREF color) {
  HBRUSH& brush = brushes_[color];
  if (!brush) brush = ::CreateSolidBrush(color);
  return brush;
}

void Win32Screen::Show(const Form& form) {
  Window& w = Create(form, nullptr);
  main_ = w.hwnd;
  ::ShowWindow(w.hwnd, SW_SHOWNORMAL);
  ::UpdateWindow(w.hwnd);
  w.FocusFirst();
}

void Win32Screen::Changed(const Form& form, const Control& control, Change change) {
  Window* w = Find(form);
  if (!w) return;
  const size_t i = static_cast<size_t>(&control - form.controls.data());
  const HWND h = w->controls[i];
  if (!h) return;
  switch (change) {
    case Change::kText:
      ::SetWindowTextW(h, Wide(ShownText(control)).c_str());
      if (control.autoSize) FitToCaption(*w, i);
      break;
    case Change::kVisible:
      ::ShowWindow(h, control.visible ? SW_SHOWNA : SW_HIDE);
      break;
    case Change::kValue:
      ::SendMessageW(h, BM_SETCHECK, static_cast<WPARAM>(control.value), 0);
      break;
  }
}

void Win32Screen::Repaint(const Form& form, const Control* control) {
  const Window* w = Find(form);
  if (!w) return;
  const HWND h = control ? ControlOf(form, *control) : w->hwnd;
  if (h)
    ::RedrawWindow(h, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Win32Screen::BringToFront(const Form& form) {
  if (const Window* w = Find(form)) ::BringWindowToTop(w->hwnd);
}

int Win32Screen::MsgBox(const std::string& text, int style) {
  // Owned by the topmost window of the program, so that it is modal over it.
  HWND owner = nullptr;
  for (const auto& w : windows_) {
    if (w->hwnd) owner = w->hwnd;
  }
  const int answer = ::MessageBoxW(owner, Wide(text).c_str(), kBoxTitle, static_cast<UINT>(style));
  if (answer == 0) throw LastErrorFailure(::GetLastError(), "MessageBox");
  return answer;
}

void Win32Screen::Beep() {
  ::MessageBeep(MB_OK);
}

bool Win32Screen::HandleKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN) return false;
  Window* w = Find(::GetAncestor(msg.hwnd, GA_ROOT));
  if (!w) return false;
  const size_t focused = w->IndexOf(::GetFocus());
  if (msg.wParam == VK_TAB) {
    const std::vector<size_t> order = w->TabOrder();
    if (order.empty()) return true;
    const bool back = ::GetKeyState(VK_SHIFT) < 0;
    size_t at = static_cast<size_t>(std::find(order.begin(), order.end(), focused) - order.begin());
    at = at == order.size() ? 0 : (at + (back ? order.size() - 1 : 1)) % order.size();
    ::SetFocus(w->controls[order[at]]);
    return true;
  }
  const bool arrow = msg.wParam == VK_UP || msg.wParam == VK_DOWN || msg.wParam == VK_LEFT ||
                     msg.wParam == VK_RIGHT;
  if (!arrow || focused >= w->controls.size()) return false;
  const Control& current = w->form->controls[focused];
  if (current.kind != ControlKind::kOption) return false;
  // The arrows move through the option group; moving onto an option is a
  // click on it, as with the mouse.
  const std::vector<size_t> group = w->form->InTabOrder([&](size_t i) {
    const Control& c = w->form->controls[i];
    return c.kind == ControlKind::kOption && c.parent == current.parent && w->form->Shows(c);
  });
  const bool back = msg.wParam == VK_UP || msg.wParam == VK_LEFT;
  size_t at = static_cast<size_t>(std::find(group.begin(), group.end(), focused) - group.begin());
  at = (at + (back ? group.size() - 1 : 1)) % group.size();
  ::SendMessageW(w->controls[group[at]], BM_CLICK, 0, 0);
  return true;
}

void Win32Screen::Run(MainWindow& window) {
  Window* w = Find(window.form());
  if (!w) return;
  // The first activation, once the window is on the screen; the later ones
  // come from the system.
  w->events.Run(window, [this] { return NextMessage(); });  // false: the main window was closed
}

bool Win32Screen::NextMessage() {
  MSG msg;
  const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
  if (got <= 0) {
    quitCode_ = got == 0 ? static_cast<int>(msg.wParam) : 0;
    return false;
  }
  if (!HandleKey(msg)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return true;
}

void Win32Screen::ShowModal(ModalDialog& dialog) {
  const Form& form = dialog.form();
  Window& w = Create(form, main_);
  // Modal: the main window takes no input until the dialog is gone.
  struct Modal {
    Win32Screen& screen;
    const Form& form;
    HWND owner;
    ~Modal() {
      if (owner) ::EnableWindow(owner, TRUE);
      screen.Destroy(form);
      if (owner) ::SetActiveWindow(owner);
    }
  } modal{*this, form, main_};
  if (main_) ::EnableWindow(main_, FALSE);
  ::ShowWindow(w.hwnd, SW_SHOWNORMAL);
  w.FocusFirst();
  w.events.RunModal(dialog, [this] {
    if (NextMessage()) return true;
    // The program is being closed: the dialog goes as if closed, and the
    // quit is left for the main loop.
    ::PostQuitMessage(quitCode_);
    return false;
  });
}

LRESULT CALLBACK Win32Screen::FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* w = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    w->hwnd = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
  }
  auto* w = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!w) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  // Nothing thrown may cross into the system's frames.
  try {
    return w->screen->OnMessage(*w, message, wParam, lParam);
  } catch (...) {
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// Panels and frames: they paint their background (and a frame its edge)
// and pass their controls' notifications on to the form.
LRESULT CALLBACK Win32Screen::ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND root = ::GetAncestor(hwnd, GA_ROOT);
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      return ::SendMessageW(root, message, wParam, lParam);
    case WM_ERASEBKGND: {
      auto* w = reinterpret_cast<Window*>(::GetWindowLongPtrW(root, GWLP_USERDATA));
      const size_t i = w ? w->IndexOf(hwnd) : 0;
      if (!w || i >= w->controls.size()) break;
      const Control& c = w->form->controls[i];
      RECT area;
      ::GetClientRect(hwnd, &area);
      const HDC dc = reinterpret_cast<HDC>(wParam);
      ::FillRect(dc, &area, w->screen->BrushFor(BackOf(*w->form, &c)));
      if (c.kind == ControlKind::kFrame) ::DrawEdge(dc, &area, EDGE_ETCHED, BF_RECT);
      return 1;
    }
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32Screen::OnMessage(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND hwnd = w.hwnd;
  switch (message) {
    case WM_ERASEBKGND: {
      RECT area;
      ::GetClientRect(hwnd, &area);
      ::FillRect(reinterpret_cast<HDC>(wParam), &area, BrushFor(BackOf(*w.form, nullptr)));
      return 1;
    }
    case WM_CTLCOLORSTATIC: {
      const size_t i = w.IndexOf(reinterpret_cast<HWND>(lParam));
      if (i >= w.controls.size()) break;
      const Control& c = w.form->controls[i];
      const COLORREF back = BackOf(*w.form, &c);
      const HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetTextColor(dc, ColorOf(c.fore, COLOR_WINDOWTEXT));
      ::SetBkColor(dc, back);
      return reinterpret_cast<LRESULT>(BrushFor(back));
    }
    case WM_COMMAND: {
      const size_t i = w.IndexOf(reinterpret_cast<HWND>(lParam));
      if (i < w.controls.size() && HIWORD(wParam) == BN_CLICKED) {
        w.Queue({WindowEvent::kClick, i});
      }
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = ::GetFocus();
        if (focus && ::IsChild(hwnd, focus)) w.lastFocus = focus;
      } else if (hwnd == main_) {
        w.Queue({WindowEvent::kActivate});
      }
      break;
    case WM_SETFOCUS:
      // The focus goes back to the control that had it.
      if (w.lastFocus && ::IsWindow(w.lastFocus)) {
        ::SetFocus(w.lastFocus);
      } else {
        w.FocusFirst();
      }
      return 0;
    case WM_CLOSE:
      if (hwnd != main_) {
        w.Queue({WindowEvent::kClose});
        return 0;
      }
      break;
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI (or its DPI changed): the window
      // takes the place the system suggests, its controls the twips of
      // their table at the new DPI.
      w.dpi = LOWORD(wParam);
      for (size_t i = 0; i < w.controls.size(); ++i) {
        if (w.controls[i]) LayOut(w, i);
      }
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_DESTROY:
      if (hwnd == main_) ::PostQuitMessage(0);
      break;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      w.hwnd = nullptr;
      std::fill(w.controls.begin(), w.controls.end(), nullptr);
      if (hwnd == main_) main_ = nullptr;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace postique::win32
