#include "platform/win32/win32_form_window.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "platform/win32/code_page.h"
#include "platform/win32/last_error_failure.h"

namespace postique::win32 {

namespace {

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
      // The states of check boxes and options are the form's: a click is
      // reported, and the form says what is checked.
      case ControlKind::kButton:
      case ControlKind::kCheckBox:
      case ControlKind::kOption:
        windowClass = L"BUTTON";
        controlStyle |= c.kind == ControlKind::kButton     ? BS_PUSHBUTTON
                        : c.kind == ControlKind::kCheckBox ? BS_3STATE
                                                           : BS_RADIOBUTTON;
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

}  // namespace postique::win32
