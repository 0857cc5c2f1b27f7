#include "base/form.h"

#include <algorithm>
#include <cmath>

#include "base/failure.h"
#include "base/screen.h"
#include "base/text.h"

namespace postique {

Control MakeControl(ControlKind kind, std::string name, int index, std::string text, Bounds at,
                    int tab, std::string parent) {
  Control c;
  c.kind = kind;
  c.name = std::move(name);
  c.index = index;
  c.text = std::move(text);
  c.left = at.left, c.top = at.top, c.width = at.width, c.height = at.height;
  c.tab = tab;
  c.parent = std::move(parent);
  return c;
}

void AppendShown(std::string& out, std::string_view text, bool multiLine,
                 std::string_view lineEnd) {
  out.reserve(out.size() + text.size());
  for (size_t at = 0; at < text.size();) {
    // Printable ASCII, most of any text, goes over as it is, a run at a time.
    size_t plain = at;
    while (plain < text.size() && text[plain] >= 0x20 && text[plain] < 0x7F) ++plain;
    out.append(text.substr(at, plain - at));
    at = plain;
    if (at == text.size()) break;
    const size_t start = at;
    const char32_t c = NextUtf8(text, at);
    if (multiLine && (c == '\r' || c == '\n')) {
      if (c == '\r' && at < text.size() && text[at] == '\n') ++at;
      out += lineEnd;
    } else if (IsControlOrInvisible(c) && !(multiLine && c == '\t')) {
      out += '?';
    } else if (c == 0xFFFD) {
      AppendUtf8(out, c);  // malformed input shows as the replacement character
    } else {
      out.append(text.substr(start, at - start));
    }
  }
}

std::string ShownText(const Control& control) {
  std::string shown;
  AppendShown(shown, control.text, control.multiLine, "\r\n");
  return shown;
}

const Control& Form::at(const std::string& control, int index) const {
  for (const Control& c : controls) {
    if (c.name == control && c.index == index) return c;
  }
  Raise(Err::kNoSuchControl, name + "." + control);
}

Control& Form::at(const std::string& control, int index) {
  return const_cast<Control&>(static_cast<const Form&>(*this).at(control, index));
}

bool Form::Shows(const Control& control) const {
  if (!control.visible) return false;
  return control.parent.empty() || Shows(at(control.parent));
}

int TwipsToPixels(int twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

const Font& FontOf(const Control& control) {
  static const Font kFormFont{"MS Sans Serif", 8.25, false};
  return control.font.name.empty() ? kFormFont : control.font;
}

std::vector<size_t> Form::InTabOrder(const std::function<bool(size_t)>& takes) const {
  std::vector<size_t> order;
  for (size_t i = 0; i < controls.size(); ++i) {
    if (takes(i)) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return controls[a].tab < controls[b].tab; });
  return order;
}

void Form::SetText(const std::string& control, int index, std::string text) {
  Control& c = at(control, index);
  c.text = std::move(text);
  if (screen) screen->Changed(*this, c, Change::kText);
}

void Form::SetVisible(const std::string& control, bool visible) {
  Control& c = at(control);
  c.visible = visible;
  if (screen) screen->Changed(*this, c, Change::kVisible);
}

void Form::SetValue(const std::string& control, int index, int value) {
  Control& c = at(control, index);
  c.value = value;
  if (screen) screen->Changed(*this, c, Change::kValue);
}

void Form::Repaint(const std::string& control) {
  if (screen) screen->Repaint(*this, &at(control));
}

void Form::Repaint() {
  if (screen) screen->Repaint(*this, nullptr);
}

}  // namespace postique
