// Windows and their controls held as data that every screen renders.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace postique {

class Screen;

enum class ControlKind { kLabel, kButton, kPanel, kFrame, kTextBox, kCheckBox, kOption, kMail };

struct Color {
  enum class Kind { kDefault, kSystemHighlight, kRgb };
  Kind kind = Kind::kDefault;
  unsigned char red = 0, green = 0, blue = 0;
};
inline constexpr Color kDefaultColor{};
inline constexpr Color kHighlight{Color::Kind::kSystemHighlight};
inline constexpr Color kLightYellow{Color::Kind::kRgb, 255, 255, 192};

struct Font {
  std::string name;  // empty: the window's default font
  double points = 0;
  bool bold = false;
};

// Positions and sizes are in twips (1/1440 inch), relative to the parent.
struct Control {
  std::string name;
  int index = -1;  // the index within a control array, -1 for none
  ControlKind kind = ControlKind::kLabel;
  std::string text;
  int left = 0, top = 0, width = 0, height = 0;
  int tab = -1;  // tab order, -1 for none
  Font font;
  Color fore, back;
  std::string parent;  // the containing frame or panel, empty for the window
  bool visible = true;
  int value = 0;  // check boxes: 0 unchecked, 1 checked, 2 grayed; options: 1 selected
  bool multiLine = false;
  bool autoSize = false;  // labels: the width follows the caption, up to the container's
};

// The text as a screen shows it. A one-line control shows line breaks and
// every other control or invisible character as "?", so that a text from
// outside can neither forge a line nor hide its own; a multi-line control
// keeps its line breaks, each as CR LF.
std::string ShownText(const Control& control);
// The same for any text, appended to out; lineEnd ends each line of a
// multi-line text.
void AppendShown(std::string& out, std::string_view text, bool multiLine, std::string_view lineEnd);

struct Bounds {
  int left, top, width, height;
};

Control MakeControl(ControlKind kind, std::string name, int index, std::string text, Bounds at,
                    int tab, std::string parent = {});

enum class Change { kText, kVisible, kValue };

// Twips (1/1440 inch) at dpi dots per inch, to the nearest pixel.
int TwipsToPixels(int twips, double dpi);

// A control's font: its own, else the form's (MS Sans Serif 8.25), which
// controls without one of their own take.
const Font& FontOf(const Control& control);

struct Form {
  std::string name;
  std::string caption;
  int width = 0, height = 0;  // client area, twips
  Color back;
  std::vector<Control> controls;
  Screen* screen = nullptr;  // set while shown; changes are reported to it

  Control& at(const std::string& control, int index = -1);
  const Control& at(const std::string& control, int index = -1) const;
  // True when the control and every container around it are visible.
  bool Shows(const Control& control) const;
  // The places of the controls that take passes, in tab order (the table's
  // order where two have the same tab index).
  std::vector<size_t> InTabOrder(const std::function<bool(size_t)>& takes) const;

  // Takes the text over: captions may be as large as a job's body.
  void SetText(const std::string& control, int index, std::string text);
  void SetText(const std::string& control, std::string text) {
    SetText(control, -1, std::move(text));
  }
  void SetVisible(const std::string& control, bool visible);
  void SetValue(const std::string& control, int index, int value);
  void Repaint(const std::string& control);
  void Repaint();
};

}  // namespace postique
