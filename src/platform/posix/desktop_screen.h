// The desktop screen on Linux: the forms as FLTK windows, and message boxes
// of the program's own, when a display is there.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "base/screen.h"

class Fl_Widget;
class Fl_Window;

namespace postique::posix {

// A message box's buttons, laid out from the right along its bottom edge: a
// user (or a test) finds the n-th of count buttons, counted from 0 at the
// left, at this distance from the box's right and bottom edges.
struct BoxButtons {
  static constexpr int kWidth = 90, kHeight = 26, kGap = 8, kMargin = 12;
  // The centre of button index among count, from the box's right edge and
  // from its bottom edge.
  static int FromRight(int index, int count) {
    return kMargin + (count - 1 - index) * (kWidth + kGap) + kWidth / 2;
  }
  static int FromBottom() { return kMargin + kHeight / 2; }
};

class DesktopScreen : public Screen {
 public:
  // The screen on the display that DISPLAY names; null when there is none.
  static std::unique_ptr<DesktopScreen> Open();
  ~DesktopScreen() override;
  DesktopScreen(const DesktopScreen&) = delete;
  DesktopScreen& operator=(const DesktopScreen&) = delete;

  void Show(const Form& form) override;
  void Changed(const Form& form, const Control& control, Change change) override;
  void Repaint(const Form& form, const Control* control) override;
  void BringToFront(const Form& form) override;
  int MsgBox(const std::string& text, int style) override;
  void Beep() override;
  // Runs the event loop until the main window is closed. What the user does
  // is run from this loop, never inside the toolkit's own calls.
  void Run(MainWindow& window) override;
  void ShowModal(ModalDialog& dialog) override;

  // The window of a shown form and the widget of one of its controls; null
  // when not shown.
  Fl_Window* WindowOf(const Form& form) const;
  Fl_Widget* WidgetOf(const Form& form, const Control& control) const;
  double dpi() const { return dpi_; }

  struct Window;  // one shown form

 private:
  DesktopScreen();
  Window& Create(const Form& form, bool dialog);
  void Destroy(const Form& form);
  Window* Find(const Form& form) const;
  // Gives a control its font's size of type; a label also gets its
  // caption's width when it sizes itself, else the size of type that fits
  // its caption into it.
  void FitCaption(Window& window, size_t control);

  double dpi_ = 96;
  std::vector<std::unique_ptr<Window>> windows_;
};

}  // namespace postique::posix
