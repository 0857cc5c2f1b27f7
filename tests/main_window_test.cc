#include <gtest/gtest.h>

#include <set>

#include "fakes/harness.h"

namespace postique::testing {
namespace {

TEST(MainWindow, HoldsEveryControlOfItsLayout) {
  Harness h;
  Form& f = h.window.form();
  EXPECT_EQ(f.caption, "Envio de E-Mail (Soporta Thunderbird) 38.5");
  EXPECT_EQ(f.width, 6735);
  EXPECT_EQ(f.height, 5400);
  const Control& pie = f.at("LabelPie");
  EXPECT_EQ(pie.text, "Estado: ");
  EXPECT_EQ(pie.parent, "PictureDown");
  EXPECT_EQ((std::vector{pie.left, pie.top, pie.width, pie.height}),
            (std::vector{60, 30, 585, 195}));
  EXPECT_EQ(f.at("Label2", 4).text, "Dialogo");
  EXPECT_EQ(f.at("Label2", 4).tab, 6);
  EXPECT_EQ(f.at("Label2", 3).text, "Archivo");
  EXPECT_EQ(f.at("lblMensaje").font.points, 13.5);
  EXPECT_TRUE(f.at("lblMensaje").font.bold);
  EXPECT_EQ(f.at("cmdGetPedido").text, "Buscar Pedido");
  EXPECT_EQ(f.at("CheckDescargar").value, 0);
  EXPECT_EQ(f.at("CheckDescargar").back.blue, 192);
  EXPECT_FALSE(f.at("Frame1").visible);
  EXPECT_FALSE(f.Shows(f.at("lblAdjuntos")));
  EXPECT_TRUE(f.Shows(f.at("LabelPie")));

  std::set<int> tabs;
  for (const Control& c : f.controls) {
    if (c.tab >= 0) {
      EXPECT_TRUE(tabs.insert(c.tab).second) << c.name;
    }
  }
  EXPECT_EQ(tabs.size(), 17u);
  EXPECT_EQ(*tabs.rbegin(), 16);
}

TEST(MainWindow, WithoutAJobTheFirstActivationRunsTheOrderRetrievalOnce) {
  Harness h;
  EXPECT_EQ(h.Start(), std::nullopt);
  EXPECT_EQ(h.screen.shown, 1);
  EXPECT_EQ(h.mail.Count("SignOn"), 1);
  EXPECT_TRUE(h.window.form().at("Frame1").visible);
  EXPECT_EQ(h.screen.BoxTexts(),
            (std::vector<std::string>{"No hay mensajes en la bandeja de entrada",
                                      "0 correos analizados"}));
  h.window.Form_Activate();
  h.window.Form_Activate();
  EXPECT_EQ(h.mail.Count("SignOn"), 1);
  EXPECT_EQ(h.screen.boxes.size(), 2u);
}

TEST(MainWindow, SetStatusPrefixesTheStateWord) {
  Harness h;
  h.process.commandLine = h.work / "falta.txt";
  h.Start();
  EXPECT_EQ(h.screen.statuses.back(),
            "ESTADO: Abriendo Fichero con información: " + h.process.commandLine);
  EXPECT_EQ(h.Caption("LabelPie"), h.screen.statuses.back());
}

TEST(MainWindow, AFailingActivationStepShowsItsBoxAndRunsNoJob) {
  Harness h;
  h.Job("a\r\nb\r\nc\r\n\r\n");
  h.screen.failNext.insert({"BringToFront", Failure(7, "sin ventana")});
  EXPECT_EQ(h.Start(), std::nullopt);
  ASSERT_EQ(h.screen.boxes.size(), 1u);
  EXPECT_EQ(h.screen.boxes[0].text, "Activate línea: 30. 7-sin ventana");
  EXPECT_EQ(h.screen.boxes[0].style, 16);
  EXPECT_TRUE(h.mail.calls.empty());
  EXPECT_TRUE(Exists(h.process.commandLine));
}

TEST(MainWindow, VistazoShowsTheMessageFrame) {
  Harness h;
  h.window.Show();
  h.window.cmdVistazo_Click();
  EXPECT_TRUE(h.window.form().at("Frame1").visible);
  EXPECT_EQ(h.mail.Count("Fetch"), 1);
}

}  // namespace
}  // namespace postique::testing
