#include <gtest/gtest.h>

#include "fakes/fake_screen.h"
#include "ui/frm_fenvio.h"

namespace postique::testing {
namespace {

// The program-wide reference and the dispatcher's way of filling it.
struct Program {
  FakeScreen screen;
  std::shared_ptr<frmFEnvio> frmFEnvio_;
  int Ask() {
    if (!frmFEnvio_) frmFEnvio_ = std::make_shared<frmFEnvio>(screen, frmFEnvio_);
    return frmFEnvio_->A_FormaEnvio();
  }
};

TEST(SendMethodDialog, HoldsItsLayout) {
  Program p;
  frmFEnvio dialog(p.screen, p.frmFEnvio_);
  const Form& f = dialog.form();
  EXPECT_EQ(f.caption, "Forma de envio del MAIL");
  EXPECT_EQ(f.width, 4560);
  EXPECT_EQ(f.height, 2160);
  const char* captions[] = {"Enviar con OUTLOOK", "Enviar con THUNTERBIRD", "Cancelar envio",
                            "nada"};
  const int tabs[] = {1, 2, 3, 5};
  for (int i = 0; i < 4; ++i) {
    const Control& o = f.at("OptFormaEnvio", i);
    EXPECT_EQ(o.text, captions[i]);
    EXPECT_EQ(o.tab, tabs[i]);
    EXPECT_EQ(o.parent, "Frame");
    EXPECT_TRUE(o.font.bold);
    EXPECT_EQ(o.value, i == 3 ? 1 : 0) << "only nada is selected at first";
  }
  const Control& nada = f.at("OptFormaEnvio", 3);
  EXPECT_EQ((std::vector{nada.left, nada.top, nada.width, nada.height}),
            (std::vector{2670, 750, 975, 240}));
  EXPECT_EQ(f.at("Label").tab, 4);
}

TEST(SendMethodDialog, TheThreeChoicesReturnTheirCodes) {
  const int codes[] = {6, 7, 2};
  for (int i = 0; i < 3; ++i) {
    Program p;
    p.screen.dialogChoices = {i};
    EXPECT_EQ(p.Ask(), codes[i]);
    EXPECT_EQ(p.frmFEnvio_, nullptr) << "the unload empties the reference";
    EXPECT_TRUE(p.screen.boxes.empty());
  }
}

TEST(SendMethodDialog, NadaChangesNothingAndClosingCancels) {
  Program p;
  p.screen.dialogChoices = {3, 3, 1};
  EXPECT_EQ(p.Ask(), 7);
  EXPECT_TRUE(p.screen.dialogChoices.empty()) << "nada kept the dialog open";
  p.screen.dialogChoices = {3, -1};
  EXPECT_EQ(p.Ask(), 2);
}

TEST(SendMethodDialog, EveryCallStartsFromAFreshDialog) {
  Program p;
  p.screen.dialogChoices = {1};
  EXPECT_EQ(p.Ask(), 7);
  p.screen.dialogChoices = {-1};
  EXPECT_EQ(p.Ask(), 2) << "the first call's choice does not carry over";
  EXPECT_EQ(p.screen.dialogCaptions.size(), 2u);
}

TEST(SendMethodDialog, AFailureWhileShownGivesOneBoxAndReturnsZero) {
  Program p;
  p.screen.failNext.insert({"ShowModal", Failure(401, "No se puede mostrar el formulario")});
  EXPECT_EQ(p.Ask(), 0);
  ASSERT_EQ(p.screen.boxes.size(), 1u);
  EXPECT_EQ(p.screen.boxes[0].text, "línea:20. 401-No se puede mostrar el formulario");
  EXPECT_EQ(p.screen.boxes[0].style, 16);
  EXPECT_EQ(p.frmFEnvio_, nullptr);
  p.screen.dialogChoices = {0};
  EXPECT_EQ(p.Ask(), 6) << "a new dialog after the failed one";
}

}  // namespace
}  // namespace postique::testing
