#include "platform/win32/win32_screen.h"

#include <algorithm>
#include <cmath>

#include "app/frm_remitora.h"
#include "app/ports.h"
#include "platform/win32/code_page.h"
#include "platform/win32/last_error_failure.h"
#include "ui/frm_fenvio.h"

namespace postique::win32 {

namespace {

constexpr wchar_t kFormClass[] = L"PostiqueForm";
constexpr wchar_t kContainerClass[] = L"PostiqueContainer";
constexpr wchar_t kBoxTitle[] = L"Postique";
constexpr int kFirstControlId = 100;
constexpr int kIconResource = 1;

bool Focusable(const Control& c) {
  switch (c.kind) {
    case ControlKind::kButton:
    case ControlKind::kCheckBox:
    case ControlKind::kTextBox:
      return true;
    case ControlKind::kOption:
      return c.value == 1;  // a group is entered at its selected option
    default:
      return false;
  }
}

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

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool Installed(HDC dc, const std::wstring& face) {
  LOGFONTW font{};
  font.lfCharSet = DEFAULT_CHARSET;
  face.copy(font.lfFaceName, LF_FACESIZE - 1);
  bool found = false;
  ::EnumFontFamiliesExW(dc, &font, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

}  // namespace

struct Win32Screen::Window {
  Win32Screen* screen;
  const Form* form;
  HWND hwnd = nullptr;
  int dpi;                     // of the monitor the window is on
  std::vector<HWND> controls;  // in the form's order; null where nothing is shown
  HWND lastFocus = nullptr;
  // What the user did, run by the message loops outside any window procedure.
  EventQueue events;

  void Queue(WindowEvent event) {
    events.Push(event);
    // A message sent from elsewhere is handled inside GetMessage, which then
    // goes on waiting: this wakes the loop for the event.
    ::PostMessageW(hwnd, WM_NULL, 0, 0);
  }

  size_t IndexOf(HWND control) const {
    return static_cast<size_t>(std::find(controls.begin(), controls.end(), control) -
                               controls.begin());
  }
  // The controls that take the focus, in tab order.
  std::vector<size_t> TabOrder() const {
    return form->InTabOrder([&](size_t i) {
      const Control& c = form->controls[i];
      return controls[i] && Focusable(c) && form->Shows(c) && ::IsWindowEnabled(controls[i]);
    });
  }
  void FocusFirst() {
    const std::vector<size_t> order = TabOrder();
    if (!order.empty()) ::SetFocus(controls[order.front()]);
  }
};

std::wstring NearestFace(const std::string& face) {
  static const std::map<std::string, std::vector<std::wstring>> kLookAlikes = {
      {"MS Sans Serif", {L"Microsoft Sans Serif", L"Tahoma", L"Arial", L"Liberation Sans"}},
      {"Arial", {L"Liberation Sans", L"Arimo", L"Helvetica"}},
  };
  std::vector<std::wstring> candidates{Wide(face)};
  if (auto it = kLookAlikes.find(face); it != kLookAlikes.end()) {
    candidates.insert(candidates.end(), it->second.begin(), it->second.end());
  }
  const HDC dc = ::GetDC(nullptr);
  std::wstring found;
  for (const std::wstring& candidate : candidates) {
    if (Installed(dc, candidate)) {
      found = candidate;
      break;
    }
  }
  ::ReleaseDC(nullptr, dc);
  if (!found.empty()) return found;
  LOGFONTW system{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof system, &system);
  return system.lfFaceName;
}

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

HFONT Win32Screen::FontFor(const Control& control, int dpi) {
  const Font& font = FontOf(control);
  const int hundredths = static_cast<int>(std::lround(font.points * 100));
  const auto key = std::tuple(font.name, hundredths, font.bold, dpi);
  if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;
  const HFONT made =
      ::CreateFontW(-::MulDiv(hundredths, dpi, 7200), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL,
                    FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, NearestFace(font.name).c_str());
  fonts_[key] = made;
  return made;
}

HBRUSH Win32Screen::BrushFor(COLORREF color) {
  HBRUSH& brush = brushes_[color];
  if (!brush) brush = ::CreateSolidBrush(color);
  return brush;
}

Win32Screen::Window& Win32Screen::Create(const Form& form, HWND owner) {
  auto made = std::make_unique<Window>();
  Window& w = *made;
  w.screen = this;
  w.form = &form;
  w.dpi = dpi_;
  windows_.push_back(std::move(made));

  // The main window is a fixed tool window at the system's default place;
  // a dialog has a fixed dialog frame, centred over its owner.
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | (owner ? WS_POPUP : 0);
  const DWORD exStyle = owner ? WS_EX_DLGMODALFRAME : WS_EX_TOOLWINDOW;
  RECT frame{0, 0, TwipsToPixels(form.width, w.dpi), TwipsToPixels(form.height, w.dpi)};
  ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
  if (owner) {
    RECT around;
    ::GetWindowRect(owner, &around);
    x = around.left + (around.right - around.left - width) / 2;
    y = around.top + (around.bottom - around.top - height) / 2;
  }
  if (!::CreateWindowExW(exStyle, kFormClass, Wide(form.caption).c_str(), style, x, y, width,
                         height, owner, nullptr, instance_, &w)) {
    const DWORD error = ::GetLastError();
    windows_.pop_back();
    throw LastErrorFailure(error, form.name);
  }
  if (icon_) {
    ::SendMessageW(w.hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageW(w.hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  }

  w.controls.assign(form.controls.size(), nullptr);
  for (size_t i = 0; i < form.controls.size(); ++i) {
    const Control& c = form.controls[i];
    const wchar_t* windowClass = L"STATIC";
    DWORD controlStyle = WS_CHILD | WS_CLIPSIBLINGS | (c.visible ? WS_VISIBLE : 0);
    DWORD controlExStyle = 0;
    switch (c.kind) {
      case ControlKind::kMail:
        continue;  // nothing to see
      case ControlKind::kLabel:
        controlStyle |= SS_LEFT | SS_NOPREFIX;
        break;
      case ControlKind::kButton:
        windowClass = L"BUTTON";
        controlStyle |= BS_PUSHBUTTON;
        break;
      // The states of check boxes and options are the form's: a click is
      // reported, and the form says what is checked.
      case ControlKind::kCheckBox:
        windowClass = L"BUTTON";
        controlStyle |= BS_3STATE;
        break;
      case ControlKind::kOption:
        windowClass = L"BUTTON";
        controlStyle |= BS_RADIOBUTTON;
        break;
      case ControlKind::kTextBox:
        windowClass = L"EDIT";
        controlStyle |= ES_LEFT | ES_AUTOVSCROLL |
                        (c.multiLine ? ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL : ES_AUTOHSCROLL);
        controlExStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::kPanel:
      case ControlKind::kFrame:
        windowClass = kContainerClass;
        controlStyle |= WS_CLIPCHILDREN;
        break;
    }
    const HWND parent =
        c.parent.empty()
            ? w.hwnd
            : w.controls[static_cast<size_t>(&form.at(c.parent) - form.controls.data())];
    const HWND h = ::CreateWindowExW(
        controlExStyle, windowClass, Wide(ShownText(c)).c_str(), controlStyle, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)), instance_, nullptr);
    if (!h) throw LastErrorFailure(::GetLastError(), form.name + "." + c.name);
    w.controls[i] = h;
    if (c.kind == ControlKind::kCheckBox || c.kind == ControlKind::kOption) {
      ::SendMessageW(h, BM_SETCHECK, static_cast<WPARAM>(c.value), 0);
    }
    LayOut(w, i);
  }
  // Later controls lie over earlier ones, as they were drawn on the form
  // (Frame1 over the job labels, "nada" over the end of its neighbour).
  for (const HWND h : w.controls) {
    if (h) ::SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return w;
}

void Win32Screen::Destroy(const Form& form) {
  for (auto it = windows_.begin(); it != windows_.end(); ++it) {
    if ((*it)->form != &form) continue;
    if ((*it)->hwnd) ::DestroyWindow((*it)->hwnd);
    windows_.erase(it);
    return;
  }
}

void Win32Screen::LayOut(Window& w, size_t i) {
  const Control& c = w.form->controls[i];
  const HWND h = w.controls[i];
  ::SetWindowPos(h, nullptr, TwipsToPixels(c.left, w.dpi), TwipsToPixels(c.top, w.dpi),
                 TwipsToPixels(c.width, w.dpi), TwipsToPixels(c.height, w.dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c, w.dpi)), TRUE);
  if (c.autoSize) FitToCaption(w, i);
}

void Win32Screen::FitToCaption(Window& w, size_t i) {
  const HWND h = w.controls[i];
  const int length = ::GetWindowTextLengthW(h);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  ::GetWindowTextW(h, text.data(), length + 1);
  const HDC dc = ::GetDC(h);
  const HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(h, WM_GETFONT, 0, 0)));
  SIZE size{};
  ::GetTextExtentPoint32W(dc, text.c_str(), length, &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(h, dc);
  const HWND parent = ::GetParent(h);
  RECT room, at;
  ::GetClientRect(parent, &room);
  ::GetWindowRect(h, &at);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&at), 2);
  const int width = std::max<int>(1, std::min<int>(size.cx + 1, room.right - at.left));
  ::SetWindowPos(h, nullptr, 0, 0, width, at.bottom - at.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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

void Win32Screen::Run(frmRemitora& window) {
  Window* w = Find(window.form());
  if (!w) return;
  // The first activation, once the window is on the screen; the later ones
  // come from the system.
  w->events.Push({WindowEvent::kActivate});
  for (;;) {
    if (!w->events.Drain([&](const WindowEvent& event) { return window.Handle(event); })) return;
    MSG msg;
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) return;  // the main window was closed
    if (!HandleKey(msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

void Win32Screen::ShowModal(frmFEnvio& dialog) {
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
  while (dialog.loaded()) {
    if (!w.events.empty()) {
      dialog.Handle(w.events.Pop());
      continue;
    }
    MSG msg;
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      // The program is being closed: the dialog goes as if closed, and the
      // quit is left for the main loop.
      ::PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 0);
      dialog.Unload();
      break;
    }
    if (!HandleKey(msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
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
