// The Windows screen: the forms as real windows, message boxes through
// MessageBoxW, everything through the wide-character API.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "base/screen.h"

namespace postique::win32 {

// The installed face nearest to face: itself, else a look-alike that is
// installed, else the face of the system's default font.
std::wstring NearestFace(const std::string& face);

class Win32Screen : public Screen {
 public:
  explicit Win32Screen(HINSTANCE instance);
  ~Win32Screen() override;
  Win32Screen(const Win32Screen&) = delete;
  Win32Screen& operator=(const Win32Screen&) = delete;

  void Show(const Form& form) override;
  void Changed(const Form& form, const Control& control, Change change) override;
  void Repaint(const Form& form, const Control* control) override;
  void BringToFront(const Form& form) override;
  int MsgBox(const std::string& text, int style) override;
  void Beep() override;
  // Runs the message loop until the main window is closed. The procedures
  // the window's events start run from this loop, never inside a window
  // procedure, so the end of the program leaves through here.
  void Run(MainWindow& window) override;
  void ShowModal(ModalDialog& dialog) override;

  // The window of a shown form and of its controls; null when not shown.
  HWND WindowOf(const Form& form) const;
  HWND ControlOf(const Form& form, const Control& control) const;
  // The main window's handle, null before it is shown.
  HWND MainHandle() const { return main_; }
  // The DPI of the main monitor, at which windows are made.
  int dpi() const { return dpi_; }

 private:
  struct Window;

  Window& Create(const Form& form, HWND owner);
  void Destroy(const Form& form);
  Window* Find(const Form& form) const;
  Window* Find(HWND hwnd) const;
  HFONT FontFor(const Control& control, int dpi);
  HBRUSH BrushFor(COLORREF color);
  // Places a control and sets its font at its window's DPI.
  void LayOut(Window& window, size_t control);
  void FitToCaption(Window& window, size_t control);
  // Tab and the arrow keys move between the controls in tab order.
  bool HandleKey(const MSG& msg);
  // Waits for the next message and dispatches it; false when the program is
  // being closed, with the quit's code in quitCode_.
  bool NextMessage();

  static LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(Window& window, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_;
  int dpi_;
  HWND main_ = nullptr;
  std::vector<std::unique_ptr<Window>> windows_;
  std::map<std::tuple<std::string, int, bool, int>, HFONT> fonts_;
  std::map<COLORREF, HBRUSH> brushes_;
  HICON icon_ = nullptr;
  int quitCode_ = 0;
};

}  // namespace postique::win32
