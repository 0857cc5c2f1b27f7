#include "platform/posix/desktop_screen.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Multiline_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/posix/desktop_form_window.h"

namespace postique::posix {

namespace {

// Waits for what the user does next; false when the window is no longer shown.
bool Wait(const DesktopScreen::Window& w) {
  if (!w.window->shown()) return false;
  Fl::wait();
  return true;
}

struct Button {
  const char* label;
  int answer;
};

std::vector<Button> ButtonsOf(int style) {
  switch (style & mb::kButtonsMask) {
    case mb::kOkCancel:
      return {{"Aceptar", mb::kAnswerOk}, {"Cancelar", mb::kAnswerCancel}};
    case mb::kYesNo:
      return {{"Sí", mb::kAnswerYes}, {"No", mb::kAnswerNo}};
    default:
      return {{"Aceptar", mb::kAnswerOk}};
  }
}

// The icon of a box: a disc with its sign.
class Icon : public Fl_Box {
 public:
  Icon(int x, int y, int size, int style)
      : Fl_Box(x, y, size, size), style_(style & mb::kIconMask) {}
  void draw() override {
    if (!style_) return;
    const bool critical = style_ == mb::kCritical;
    fl_color(critical ? FL_RED : fl_rgb_color(40, 90, 180));
    fl_pie(x(), y(), w(), h(), 0, 360);
    fl_color(FL_WHITE);
    fl_font(FL_HELVETICA_BOLD, h() * 2 / 3);
    fl_draw(critical                  ? "X"
            : style_ == mb::kQuestion ? "?"
                                      : "i",
            x(), y(), w(), h(), FL_ALIGN_CENTER);
  }

 private:
  int style_;
};

// Keeps a window above every other one, as a system-modal box is.
void KeepAbove(Fl_Window& window) {
  Display* display = fl_display;
  const ::Window xid = fl_xid(&window);
  if (!display || !xid) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = xid;
  event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 1;  // add
  event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_ABOVE", False));
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

}  // namespace

std::unique_ptr<DesktopScreen> DesktopScreen::Open() {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return nullptr;
  Display* opened = XOpenDisplay(display);
  if (!opened) return nullptr;
  fl_open_display(opened);
  std::unique_ptr<DesktopScreen> screen(new DesktopScreen());
  float horizontal = 0, vertical = 0;
  Fl::screen_dpi(horizontal, vertical);
  if (vertical > 0) screen->dpi_ = vertical;
  return screen;
}

DesktopScreen::DesktopScreen() {
  // The first letter is the style: blank plain, B bold.
  Fl::set_font(kArial, " Liberation Sans");
  Fl::set_font(kArialBold, "BLiberation Sans");
  Fl::visible_focus(1);
  Fl::scheme("gtk+");
}

DesktopScreen::~DesktopScreen() {
  windows_.clear();
  Fl::flush();
}

DesktopScreen::Window* DesktopScreen::Find(const Form& form) const {
  for (const auto& w : windows_) {
    if (w->form == &form) return w.get();
  }
  return nullptr;
}

Fl_Window* DesktopScreen::WindowOf(const Form& form) const {
  const Window* w = Find(form);
  return w ? w->window.get() : nullptr;
}

Fl_Widget* DesktopScreen::WidgetOf(const Form& form, const Control& control) const {
  const Window* w = Find(form);
  return w ? w->widgets[static_cast<size_t>(&control - form.controls.data())] : nullptr;
}

void DesktopScreen::Show(const Form& form) {
  Window& w = Create(form, false);
  w.window->show();
  Fl::flush();
}

void DesktopScreen::Changed(const Form& form, const Control& control, Change change) {
  Window* w = Find(form);
  if (!w) return;
  const size_t i = static_cast<size_t>(&control - form.controls.data());
  Fl_Widget* widget = w->widgets[i];
  if (!widget) return;
  switch (change) {
    case Change::kText:
      if (control.kind == ControlKind::kTextBox) {
        static_cast<Fl_Multiline_Input*>(widget)->value(ShownText(control).c_str());
      } else {
        widget->copy_label(LabelText(ShownText(control)).c_str());
      }
      FitCaption(*w, i);
      break;
    case Change::kVisible:
      if (control.visible) {
        widget->show();
      } else {
        widget->hide();
      }
      break;
    case Change::kValue:
      static_cast<Fl_Button*>(widget)->value(control.value != 0);
      break;
  }
  // The parent repaints too: a label without a box leaves its old text there.
  if (widget->parent()) widget->parent()->redraw();
}

void DesktopScreen::Repaint(const Form& form, const Control* control) {
  Window* w = Find(form);
  if (!w) return;
  Fl_Widget* widget = control ? WidgetOf(form, *control) : w->window.get();
  if (!widget) return;
  widget->redraw();
  // No event loop runs while a procedure keeps the program busy: draw now.
  Fl::flush();
}

void DesktopScreen::BringToFront(const Form& form) {
  if (Window* w = Find(form)) w->window->show();
}

int DesktopScreen::MsgBox(const std::string& text, int style) {
  const std::vector<Button> buttons = ButtonsOf(style);
  const int margin = BoxButtons::kMargin, icon = (style & mb::kIconMask) ? 32 : 0;
  const std::string label = LabelText([&] {
    std::string shown;
    AppendShown(shown, text, true, "\n");
    return shown;
  }());
  const int fontSize = static_cast<int>(std::lround(9 * dpi_ / 72));
  fl_font(FL_HELVETICA, fontSize);
  int textWidth = 420, textHeight = 0;  // lines wrap at that width
  fl_measure(label.c_str(), textWidth, textHeight, 1);
  textWidth += 8;  // room for the label's own inner margin
  const int buttonsWidth =
      static_cast<int>(buttons.size()) * (BoxButtons::kWidth + BoxButtons::kGap) - BoxButtons::kGap;
  const int width =
      std::max(margin + (icon ? icon + margin : 0) + textWidth + margin, buttonsWidth + 2 * margin);
  const int height = margin + std::max(textHeight, icon) + margin + BoxButtons::kHeight + margin;

  Fl_Group::current(nullptr);
  Fl_Double_Window box(width, height, "Postique");
  if (icon) new Icon(margin, margin, icon, style);
  auto* message = new Fl_Box(margin + (icon ? icon + margin : 0), margin, textWidth,
                             std::max(textHeight, icon), nullptr);
  message->box(FL_NO_BOX);
  message->labelfont(FL_HELVETICA);
  message->labelsize(fontSize);
  message->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
  message->copy_label(label.c_str());
  int answer = 0;
  for (size_t i = 0; i < buttons.size(); ++i) {
    const int count = static_cast<int>(buttons.size());
    const int x =
        width - BoxButtons::FromRight(static_cast<int>(i), count) - BoxButtons::kWidth / 2;
    const int y = height - margin - BoxButtons::kHeight;
    Fl_Button* button =
        i == 0 ? new Fl_Return_Button(x, y, BoxButtons::kWidth, BoxButtons::kHeight, nullptr)
               : new Fl_Button(x, y, BoxButtons::kWidth, BoxButtons::kHeight, nullptr);
    button->copy_label(buttons[i].label);
    button->callback(
        [](Fl_Widget*, void* data) {
          auto* pressed = static_cast<std::pair<int*, int>*>(data);
          *pressed->first = pressed->second;
        },
        new std::pair<int*, int>(&answer, buttons[i].answer));
  }
  box.end();
  box.set_modal();
  // Closed without a button: the answer of the box's last button (Cancel, No,
  // or the only OK), as Escape gives it.
  std::pair<int*, int> closed(&answer, buttons.back().answer);
  box.callback(
      [](Fl_Widget*, void* data) {
        auto* c = static_cast<std::pair<int*, int>*>(data);
        *c->first = c->second;
      },
      &closed);
  // Centred over the program's topmost window.
  if (!windows_.empty()) {
    const Fl_Window* over = windows_.back()->window.get();
    box.position(over->x() + (over->w() - width) / 2, over->y() + (over->h() - height) / 2);
  }
  box.show();
  if (style & mb::kSystemModal) KeepAbove(box);
  while (answer == 0 && box.shown()) Fl::wait();
  for (int i = 0; i < box.children(); ++i) {
    if (auto* button = dynamic_cast<Fl_Button*>(box.child(i))) {
      delete static_cast<std::pair<int*, int>*>(button->user_data());
    }
  }
  box.hide();
  Fl::flush();
  return answer;
}

void DesktopScreen::Beep() {
  fl_beep();
}

void DesktopScreen::Run(MainWindow& window) {
  Window* w = Find(window.form());
  if (!w) return;
  // The first activation comes once the window is on the screen.
  w->events.Run(window, [w] { return Wait(*w); });
}

void DesktopScreen::ShowModal(ModalDialog& dialog) {
  const Form& form = dialog.form();
  Window& w = Create(form, true);
  if (windows_.size() > 1) {
    const Fl_Window* owner = windows_.front()->window.get();
    w.window->position(owner->x() + (owner->w() - w.window->w()) / 2,
                       owner->y() + (owner->h() - w.window->h()) / 2);
  }
  w.window->show();
  // The focus starts on the selected option ("nada"): no choice is made yet.
  for (size_t i = 0; i < form.controls.size(); ++i) {
    if (form.controls[i].kind == ControlKind::kOption && form.controls[i].value == 1) {
      w.widgets[i]->take_focus();
    }
  }
  w.events.RunModal(dialog, [&w] { return Wait(w); });
  Destroy(form);
}

}  // namespace postique::posix
