// A form's window on Windows: its controls made from the form's table, laid
// out at its monitor's DPI, in the face nearest the one the form asks for.
// The screen's own; its message loops and procedures are in win32_screen.cc.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/form.h"
#include "base/screen.h"
#include "platform/win32/win32_screen.h"

namespace postique::win32 {

constexpr wchar_t kFormClass[] = L"PostiqueForm";
constexpr wchar_t kContainerClass[] = L"PostiqueContainer";
constexpr int kFirstControlId = 100;

// Whether the control takes the focus when the user tabs to it.
bool Focusable(const Control& c);

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

}  // namespace postique::win32
