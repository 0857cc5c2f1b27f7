// A form's window on the desktop: its widgets made from the form's table,
// in the faces the form asks for. The screen's own; its loops and boxes are
// in desktop_screen.cc.
#pragma once

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Widget.H>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/form.h"
#include "base/screen.h"
#include "platform/posix/desktop_screen.h"

namespace postique::posix {

// Arial, where a form asks for it, is Liberation Sans, which has its
// metrics: a caption measured for Arial fits. The other sans-serif faces of
// the forms are the toolkit's sans-serif.
constexpr Fl_Font kArial = FL_FREE_FONT, kArialBold = FL_FREE_FONT + 1;

// What the toolkit would read as a symbol (@) or a shortcut (&) is shown as
// it was written.
std::string LabelText(std::string_view shown);

struct DesktopScreen::Window {
  const Form* form = nullptr;
  std::unique_ptr<Fl_Double_Window> window;
  std::vector<Fl_Widget*> widgets;  // in the form's order, owned by window; null for none
  // What the user did, run by the screen's loops outside the toolkit's calls.
  EventQueue events;

  size_t IndexOf(const Fl_Widget* widget) const {
    return static_cast<size_t>(std::find(widgets.begin(), widgets.end(), widget) - widgets.begin());
  }
  static void OnWidget(Fl_Widget* widget, void* data) {
    auto* self = static_cast<Window*>(data);
    self->events.Push({WindowEvent::kClick, self->IndexOf(widget)});
  }
  static void OnClose(Fl_Widget*, void* data) {
    static_cast<Window*>(data)->events.Push({WindowEvent::kClose});
  }
};

}  // namespace postique::posix
