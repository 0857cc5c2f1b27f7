#include "app/form.h"

#include "app/failure.h"
#include "app/screen.h"
#include "app/text.h"

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

std::string ShownText(const Control& control) {
  const std::string& text = control.text;
  std::string shown;
  shown.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const char32_t c = NextUtf8(text, at);
    if (control.multiLine && (c == '\r' || c == '\n')) {
      if (c == '\r' && at < text.size() && text[at] == '\n') ++at;
      shown += "\r\n";
    } else if (control.multiLine && c == '\t') {
      shown += '\t';
    } else {
      AppendUtf8(shown, IsControlOrInvisible(c) ? U'?' : c);
    }
  }
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

void Form::SetText(const std::string& control, int index, const std::string& text) {
  Control& c = at(control, index);
  c.text = text;
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
