// The program as a user on a terminal runs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/temp_dir.h"
#include "posix/run_program.h"

namespace postique::testing {
namespace {

TEST(Cli, AJobShowsItsStepsAsStatusLinesAndEnds) {
  TempDir dir;
  const std::string job = dir / "trabajo 1.txt";
  WriteFile(job, "ana@example.es\r\nFactura\r\nCuerpo\r\n\r\n0\r\nO\r\n");
  const ProgramRun run =
      RunProgram(POSTIQUE_BINARY, {dir / "trabajo", "1.txt"}, "", {{"MAILDIR", dir / "sin-buzon"}});
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(run.out.rfind("Envio de E-Mail (Soporta Thunderbird) 38.5\n"
                          "ESTADO: Abriendo Fichero con información: " +
                              job +
                              "\n"
                              "ESTADO: Obteniendo Información de Fichero " +
                              job +
                              "\n"
                              "Destino:ana@example.es\nAsunto:Factura\nCuerpo:Cuerpo\nFichero:\n"
                              "Dialogo: False\n",
                          0),
            0u)
      << run.out;
  EXPECT_NE(run.out.find("ESTADO: Conectando con MAPI\n"
                         "ESTADO: Error en POSTIQUE. Linea: 490. Aviso desde POSTIQUE.EXE: "),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("(32003)\n[A]ceptar\nESTADO: Desconectado\n"), std::string::npos)
      << run.out;
  EXPECT_FALSE(Exists(job));
}

TEST(Cli, AMissingJobIsReportedAndTheWindowWaits) {
  TempDir dir;
  const ProgramRun run = RunProgram(POSTIQUE_BINARY, {dir / "falta.txt"}, "a\nx\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find(" Falta el archivo " + dir / "falta.txt" + "\n[A]ceptar\n[B]uscar Pedido"),
            std::string::npos)
      << run.out;
}

TEST(Cli, AJobWithoutMethodAsksAndHandsItToThunderbird) {
  TempDir place, bin;
  WriteFile(bin / "thunderbird", "#!/bin/sh\nexit 0\n");
  std::filesystem::permissions(bin / "thunderbird", std::filesystem::perms::owner_all);
  const std::string job = place / "job.txt";
  WriteFile(job, "ana@example.es\r\nFactura\r\nCuerpo\r\n/f/a.pdf\r\n\r\n\r\n");
  const ProgramRun run =
      RunProgram(Install(place), {job}, "1\n", {{"PATH", bin.path() + ":/usr/bin:/bin"}});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("Forma de envio del MAIL\n  0 Enviar con OUTLOOK\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(ReadFile(place / "thunderbird.log"),
            "thunderbird -compose \"attachment='/f/a.pdf',to='ana@example.es',subject='Factura',"
            "body='Cuerpo'\"\r\n");
}

TEST(Cli, AMethodQuestionLeftUnansweredEndsWithExit3) {
  TempDir place;
  const std::string job = place / "job.txt";
  WriteFile(job, "ana@example.es\r\nFactura\r\nCuerpo\r\n\r\n");
  const ProgramRun run = RunProgram(Install(place), {job}, "");
  EXPECT_EQ(run.status, 3) << run.out;
  EXPECT_NE(run.out.find("No queda entrada"), std::string::npos) << run.out;
  EXPECT_FALSE(Exists(place / "thunderbird.log"));
}

TEST(Cli, CancellingTheMethodShowsCancelado) {
  TempDir place;
  const std::string job = place / "job.txt";
  WriteFile(job, "ana@example.es\r\nFactura\r\nCuerpo\r\n\r\n");
  const ProgramRun run = RunProgram(Install(place), {job}, "2\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Elija una opción (0-3):\nCancelado el envio\n[A]ceptar\n"),
            std::string::npos)
      << run.out;
  EXPECT_FALSE(Exists(place / "thunderbird.log"));
  EXPECT_FALSE(Exists(job));
}

}  // namespace
}  // namespace postique::testing
