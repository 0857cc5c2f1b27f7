#include "platform/posix/desktop_form_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Multiline_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Round_Button.H>

#include <cmath>

namespace postique::posix {

namespace {

Fl_Color ColorOf(const Color& color, Fl_Color otherwise) {
  switch (color.kind) {
    case Color::Kind::kSystemHighlight:
      return FL_SELECTION_COLOR;
    case Color::Kind::kRgb:
      return fl_rgb_color(color.red, color.green, color.blue);
    case Color::Kind::kDefault:
      break;
  }
  return otherwise;
}

Fl_Font FaceOf(const Font& font) {
  if (font.name == "Arial") return font.bold ? kArialBold : kArial;
  return font.bold ? FL_HELVETICA_BOLD : FL_HELVETICA;
}

// A form's label, its caption drawn out to its edges as the forms' own
// labels are; the toolkit would keep it 3 pixels in from each side.
class Caption : public Fl_Box {
 public:
  using Fl_Box::Fl_Box;
  void draw() override {
    draw_box();
    draw_label(x(), y(), w(), h());
  }
};

}  // namespace

std::string LabelText(std::string_view shown) {
  std::string label;
  for (const char c : shown) {
    if (c == '@' || c == '&') label += c;
    label += c;
  }
  return label;
}

DesktopScreen::Window& DesktopScreen::Create(const Form& form, bool dialog) {
  auto made = std::make_unique<Window>();
  Window& w = *made;
  w.form = &form;
  windows_.push_back(std::move(made));
  const int width = TwipsToPixels(form.width, dpi_), height = TwipsToPixels(form.height, dpi_);
  Fl_Group::current(nullptr);
  w.window = std::make_unique<Fl_Double_Window>(width, height);
  w.window->copy_label(form.caption.c_str());
  w.window->color(ColorOf(form.back, FL_BACKGROUND_COLOR));
  w.window->size_range(width, height, width, height);  // a fixed size
  w.window->callback(Window::OnClose, &w);
  if (dialog) w.window->set_modal();
  w.window->end();

  // Created in tab order: the toolkit moves the focus, and draws, in the
  // order of creation, so later controls lie over earlier ones (Frame1 over
  // the job labels, "nada" over the end of its neighbour).
  const std::vector<size_t> order =
      form.InTabOrder([&](size_t i) { return form.controls[i].kind != ControlKind::kMail; });
  w.widgets.assign(form.controls.size(), nullptr);
  for (const size_t i : order) {
    const Control& c = form.controls[i];
    Fl_Group* parent = w.window.get();
    if (!c.parent.empty()) {
      parent = static_cast<Fl_Group*>(
          w.widgets[static_cast<size_t>(&form.at(c.parent) - form.controls.data())]);
    }
    // Positions are the window's in the toolkit, the container's in the form.
    const int x = (parent == w.window.get() ? 0 : parent->x()) + TwipsToPixels(c.left, dpi_);
    const int y = (parent == w.window.get() ? 0 : parent->y()) + TwipsToPixels(c.top, dpi_);
    const int cw = TwipsToPixels(c.width, dpi_), ch = TwipsToPixels(c.height, dpi_);
    const Fl_Color around = parent->color();
    Fl_Widget* widget = nullptr;
    switch (c.kind) {
      case ControlKind::kLabel: {
        auto* label = new Caption(x, y, cw, ch);
        label->box(FL_NO_BOX);
        label->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP |
                     FL_ALIGN_CLIP);
        widget = label;
        break;
      }
      case ControlKind::kButton:
        widget = new Fl_Button(x, y, cw, ch);
        widget->callback(Window::OnWidget, &w);
        break;
      case ControlKind::kCheckBox:
      case ControlKind::kOption: {
        Fl_Button* button = c.kind == ControlKind::kCheckBox
                                ? static_cast<Fl_Button*>(new Fl_Check_Button(x, y, cw, ch))
                                : new Fl_Round_Button(x, y, cw, ch);
        // Opaque, as drawn on the form: the option "nada" covers the end of
        // its neighbour.
        button->box(FL_FLAT_BOX);
        button->value(c.value != 0);
        widget = button;
        widget->callback(Window::OnWidget, &w);
        break;
      }
      case ControlKind::kTextBox: {
        auto* text = new Fl_Multiline_Input(x, y, cw, ch);
        text->when(FL_WHEN_NEVER);
        text->wrap(1);
        text->value(ShownText(c).c_str());
        widget = text;
        break;
      }
      case ControlKind::kPanel:
      case ControlKind::kFrame: {
        auto* group = new Fl_Group(x, y, cw, ch);
        group->end();
        group->box(c.kind == ControlKind::kFrame ? FL_ENGRAVED_BOX : FL_FLAT_BOX);
        group->color(c.kind == ControlKind::kFrame ? ColorOf(c.back, around)
                                                   : ColorOf(c.back, FL_BACKGROUND_COLOR));
        widget = group;
        break;
      }
      case ControlKind::kMail:
        continue;
    }
    parent->add(widget);
    if (c.kind != ControlKind::kPanel && c.kind != ControlKind::kFrame &&
        c.kind != ControlKind::kTextBox) {
      widget->copy_label(LabelText(ShownText(c)).c_str());
      widget->color(ColorOf(c.back, c.kind == ControlKind::kButton ? FL_BACKGROUND_COLOR : around));
    }
    widget->labelfont(FaceOf(FontOf(c)));
    widget->labelcolor(ColorOf(c.fore, FL_FOREGROUND_COLOR));
    if (!c.visible) widget->hide();
    w.widgets[i] = widget;
    FitCaption(w, i);
  }
  return w;
}

void DesktopScreen::Destroy(const Form& form) {
  std::erase_if(windows_, [&](const auto& w) { return w->form == &form; });
  Fl::flush();
}

void DesktopScreen::FitCaption(Window& w, size_t i) {
  const Control& control = w.form->controls[i];
  const int designed = static_cast<int>(std::lround(FontOf(control).points * dpi_ / 72));
  Fl_Widget* widget = w.widgets[i];
  widget->labelsize(designed);
  if (control.kind != ControlKind::kLabel) return;
  if (control.autoSize) {
    int textWidth = 0, textHeight = 0;
    widget->measure_label(textWidth, textHeight);
    const Fl_Group* parent = widget->parent();
    const int room = parent->x() + parent->w() - widget->x();
    // Two pixels to spare, for the edge of the last letter.
    widget->size(std::max(1, std::min(textWidth + 2, room)), widget->h());
    return;
  }
  // Helvetica runs wider than the forms' face: a caption that misses its
  // box by a little is drawn up to a fifth smaller rather than cut.
  for (int size = designed; size >= designed * 4 / 5; --size) {
    widget->labelsize(size);
    int textWidth = widget->w(), textHeight = 0;  // wrapped at the label's width
    widget->measure_label(textWidth, textHeight);
    if (textWidth <= widget->w() && textHeight <= widget->h()) return;
  }
  widget->labelsize(designed);
}

}  // namespace postique::posix
