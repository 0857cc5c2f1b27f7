// The desktop screen's windows on a real display (Xvfb in the test run).
#include "platform/posix/desktop_screen.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "app/frm_remitora.h"
#include "fakes/harness.h"
#include "posix/promised.h"
#include "ui/frm_fenvio.h"

namespace postique::posix {
namespace {

// The main window on the desktop, over the in-memory fakes.
struct Desktop {
  std::unique_ptr<DesktopScreen> screen = DesktopScreen::Open();
  testing::TempDir program;
  PosixFiles files{program.path()};
  testing::RecordingLauncher launcher;
  testing::FakeProcess process;
  testing::FakeMailClient mail;
  std::unique_ptr<frmRemitora> window;

  bool Show() {
    if (!screen) return false;
    window = std::make_unique<frmRemitora>(Platform{*screen, files, launcher, process, mail, mail});
    window->Show();
    return true;
  }
  int Px(int twips) const { return TwipsToPixels(twips, screen->dpi()); }
};

#define NEED_DISPLAY(d) \
  if (!(d).Show()) POSTIQUE_SKIP_UNLESS_PROMISED("POSTIQUE_DISPLAY", "no display")

// A control's place in its container, as the toolkit keeps it.
std::pair<int, int> Place(const Fl_Widget* w) {
  const Fl_Group* parent = w->parent();
  return parent == w->window() ? std::pair{w->x(), w->y()}
                               : std::pair{w->x() - parent->x(), w->y() - parent->y()};
}

std::string LabelOf(const Control& c) {
  std::string label;
  for (const char ch : ShownText(c)) {
    if (ch == '@' || ch == '&') label += ch;
    label += ch;
  }
  return label;
}

void ExpectLaidOut(const Desktop& d, const Form& form) {
  for (const Control& c : form.controls) {
    const Fl_Widget* w = d.screen->WidgetOf(form, c);
    const std::string name = c.name + "(" + std::to_string(c.index) + ")";
    if (c.kind == ControlKind::kMail) {
      EXPECT_EQ(w, nullptr) << name;
      continue;
    }
    ASSERT_NE(w, nullptr) << name;
    if (c.kind == ControlKind::kTextBox) {
      EXPECT_EQ(static_cast<const Fl_Input_*>(w)->value(), ShownText(c)) << name;
    } else if (c.kind != ControlKind::kPanel && c.kind != ControlKind::kFrame) {
      EXPECT_STREQ(w->label(), LabelOf(c).c_str()) << name;
    }
    EXPECT_EQ(Place(w), std::pair(d.Px(c.left), d.Px(c.top))) << name;
    if (!c.autoSize) {
      EXPECT_EQ(w->w(), d.Px(c.width)) << name;
    }
    EXPECT_EQ(w->h(), d.Px(c.height)) << name;
    EXPECT_EQ(w->visible() != 0, c.visible) << name;
    const Font& font = c.font.name.empty() ? Font{"MS Sans Serif", 8.25, false} : c.font;
    const Fl_Font sans = font.name == "Arial" ? FL_FREE_FONT : FL_HELVETICA;
    EXPECT_EQ(w->labelfont(), sans + (font.bold ? 1 : 0)) << name;
    if (c.kind == ControlKind::kLabel && !c.autoSize) {
      // The whole caption shows, in type at most a fifth smaller.
      const int designed = static_cast<int>(std::lround(font.points * d.screen->dpi() / 72));
      EXPECT_TRUE(w->labelsize() <= designed && w->labelsize() >= designed * 4 / 5) << name;
      int textWidth = w->w(), textHeight = 0;
      w->measure_label(textWidth, textHeight);
      EXPECT_TRUE(textWidth <= w->w() && textHeight <= w->h()) << name;
    }
    // The toolkit moves the focus in the order of its containers' children.
    const Fl_Group* parent = w->parent();
    for (const Control& other : form.controls) {
      const Fl_Widget* o = d.screen->WidgetOf(form, other);
      if (!o || o->parent() != parent || other.tab <= c.tab) continue;
      EXPECT_LT(parent->find(w), parent->find(o)) << name << " before " << other.name;
    }
  }
}

TEST(DesktopScreen, TwipsBecomePixelsAtTheScreensDpi) {
  EXPECT_EQ(TwipsToPixels(1440, 96), 96);
  EXPECT_EQ(TwipsToPixels(6735, 96), 449);
  EXPECT_EQ(TwipsToPixels(8, 96), 1);
  EXPECT_EQ(TwipsToPixels(6735, 120), 561);
}

TEST(DesktopScreen, TheMainWindowIsBuiltFromItsTable) {
  Desktop d;
  NEED_DISPLAY(d);
  const Fl_Window* main = d.screen->WindowOf(d.window->form());
  ASSERT_NE(main, nullptr);
  EXPECT_STREQ(main->label(), kTitle);
  EXPECT_EQ(main->w(), d.Px(6735));
  EXPECT_EQ(main->h(), d.Px(5400));
  EXPECT_EQ(main->color(), fl_rgb_color(255, 255, 192));
  ExpectLaidOut(d, d.window->form());
}

TEST(DesktopScreen, TheStatusGrowsToItsPanelAndTheFrameCoversTheJobLabels) {
  Desktop d;
  NEED_DISPLAY(d);
  Form& form = d.window->form();
  const Fl_Widget* status = d.screen->WidgetOf(form, form.at("LabelPie"));
  form.SetText("LabelPie", "ESTADO: Estableciendo Envio con Confirmación");
  EXPECT_GT(status->w(), d.Px(585));
  form.SetText("LabelPie", "ESTADO: " + std::string(400, 'x'));
  EXPECT_EQ(status->x() + status->w(), d.Px(6735)) << "as wide as the panel, no wider";

  // The echo of the job, in Arial's metrics: each label as wide as its
  // caption, the design caption in its design width, a long one up to the
  // window's edge.
  EXPECT_STREQ(Fl::get_font(FL_FREE_FONT), " Liberation Sans");
  for (int i = 0; i < 5; ++i) {
    const Control& c = form.at("Label2", i);
    const std::string caption = c.text;
    const Fl_Widget* echo = d.screen->WidgetOf(form, c);
    int textWidth = 0, textHeight = 0;
    echo->measure_label(textWidth, textHeight);
    // Type comes in whole pixels: the width scales with the size it got.
    const double scale = echo->labelsize() / (c.font.points * d.screen->dpi() / 72);
    EXPECT_NEAR(textWidth, d.Px(c.width) * scale, 3) << caption;
    form.SetText("Label2", i, caption + ":ana@example.es");
    echo->measure_label(textWidth, textHeight);
    EXPECT_GE(echo->w(), textWidth) << "the whole caption: " << echo->label();
    form.SetText("Label2", i, std::string(400, 'x'));
    EXPECT_EQ(echo->x() + echo->w(), d.Px(6735)) << i;
    form.SetText("Label2", i, caption);
  }

  const Fl_Widget* frame = d.screen->WidgetOf(form, form.at("Frame1"));
  EXPECT_FALSE(frame->visible());
  form.SetVisible("Frame1", true);
  EXPECT_TRUE(frame->visible());
  for (int i = 0; i < 5; ++i) {
    const Fl_Widget* label = d.screen->WidgetOf(form, form.at("Label2", i));
    EXPECT_GT(frame->parent()->find(frame), label->parent()->find(label)) << "drawn later";
    EXPECT_TRUE(label->x() >= frame->x() && label->y() >= frame->y() &&
                label->x() + label->w() <= frame->x() + frame->w() &&
                label->y() + label->h() <= frame->y() + frame->h())
        << i;
  }
}

TEST(DesktopScreen, OneLineCaptionsAndTheToolkitsSymbols) {
  Desktop d;
  NEED_DISPLAY(d);
  Form& form = d.window->form();
  form.SetText("lblMsgSubject", "@-> Hola\r\nESTADO: copiado & más");
  EXPECT_STREQ(d.screen->WidgetOf(form, form.at("lblMsgSubject"))->label(),
               "@@-> Hola??ESTADO: copiado && más");
}

// What the user does while a modal window is up: run by a timer inside its
// loop, one step per tick, through the toolkit's own events.
std::vector<std::function<void()>> userSteps;

void NextUserStep(void*) {
  if (userSteps.empty()) return;
  const auto step = userSteps.front();
  userSteps.erase(userSteps.begin());
  step();
  Fl::repeat_timeout(0.05, NextUserStep);
}

// A click on the widget, as the toolkit gets one from the mouse.
void Click(Fl_Widget* widget) {
  Fl_Window* window = widget->window();
  Fl::e_x = widget->x() + widget->w() / 2;
  Fl::e_y = widget->y() + widget->h() / 2;
  Fl::e_x_root = window->x() + Fl::e_x;
  Fl::e_y_root = window->y() + Fl::e_y;
  Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
  Fl::e_state = FL_BUTTON1;
  Fl::handle(FL_PUSH, window);
  Fl::e_state = 0;
  Fl::handle(FL_RELEASE, window);
}

// A key pressed where the focus is.
void Press(int key, Fl_Window* window) {
  Fl::e_keysym = key;
  Fl::e_text = const_cast<char*>(key == ' ' ? " " : "");
  Fl::e_length = key == ' ' ? 1 : 0;
  Fl::handle(FL_KEYBOARD, window);
  Fl::handle(FL_KEYUP, window);
}

int Choose(Desktop& d, std::vector<std::function<void(const Form&)>> steps) {
  std::shared_ptr<frmFEnvio> reference;
  reference = std::make_shared<frmFEnvio>(*d.screen, reference);
  const Form& form = reference->form();
  userSteps.clear();
  for (auto& step : steps) userSteps.push_back([step, &form] { step(form); });
  Fl::add_timeout(0.1, NextUserStep);
  const int chosen = reference->A_FormaEnvio();
  Fl::remove_timeout(NextUserStep);
  EXPECT_TRUE(userSteps.empty()) << "the dialog closed before the user was done";
  return chosen;
}

TEST(DesktopScreen, TheDialogOpensOnNadaAndTheKeyboardActsLikeAClick) {
  Desktop d;
  NEED_DISPLAY(d);
  const auto option = [&](const Form& form, int i) {
    return d.screen->WidgetOf(form, form.at("OptFormaEnvio", i));
  };
  EXPECT_EQ(Choose(d, {[&](const Form& form) {
                         ExpectLaidOut(d, form);
                         EXPECT_EQ(static_cast<Fl_Button*>(option(form, 3))->value(), 1);
                         EXPECT_EQ(Fl::focus(), option(form, 3));
                         EXPECT_TRUE(d.screen->WindowOf(form)->modal());
                         Click(option(form, 3));  // "nada": nothing happens
                       },
                       [&](const Form& form) {
                         EXPECT_TRUE(d.screen->WindowOf(form)->shown()) << "still open";
                         option(form, 1)->take_focus();
                         Press(' ', d.screen->WindowOf(form));
                       }}),
            7)
      << "selecting with the keyboard is a click";
  EXPECT_EQ(Choose(d, {[&](const Form& form) { Click(option(form, 0)); }}), 6);
  EXPECT_EQ(Choose(d, {[&](const Form& form) { Click(option(form, 2)); }}), 2);
  EXPECT_EQ(Choose(d, {[&](const Form& form) {
                     d.screen->WindowOf(form)->do_callback();  // the window is closed
                   }}),
            2);
}

TEST(DesktopScreen, ABoxAnswersWithTheButtonPressedOrTheOneThatClosesIt) {
  Desktop d;
  NEED_DISPLAY(d);
  const auto box = [] {
    for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
      if (w->label() && std::string(w->label()) == "Postique") return w;
    }
    return static_cast<Fl_Window*>(nullptr);
  };
  const auto button = [&](const char* label) {
    Fl_Window* b = box();
    for (int i = 0; b && i < b->children(); ++i) {
      if (b->child(i)->label() && std::string(b->child(i)->label()) == label) return b->child(i);
    }
    return static_cast<Fl_Widget*>(nullptr);
  };
  const struct {
    int style;
    const char* press;  // null: the window is closed
    int answer;
  } cases[] = {{1 + 16 + 4096, "Cancelar", 2},
               {1, "Aceptar", 1},
               {4 + 32, "Sí", 6},
               {4 + 32, "No", 7},
               {0, nullptr, 1},
               {1, nullptr, 2}};
  for (const auto& c : cases) {
    userSteps = {[&] {
      ASSERT_NE(box(), nullptr);
      EXPECT_TRUE(box()->modal());
      if (c.press) {
        Click(button(c.press));
      } else {
        box()->do_callback();
      }
    }};
    Fl::add_timeout(0.1, NextUserStep);
    EXPECT_EQ(d.screen->MsgBox("¿Seguro?\r\nDe verdad", c.style), c.answer) << c.press;
    Fl::remove_timeout(NextUserStep);
  }
}

}  // namespace
}  // namespace postique::posix
