// Hands the job to Thunderbird's compose window and logs the command.
#include <memory>
#include <string>

#include "app/frm_remitora.h"
#include "app/text.h"

namespace postique {

void frmRemitora::SendWithThunderbird() {
  std::string compose;
  std::unique_ptr<TextWriter> log;
  Steps s([this](int, const Failure& f) {
    p_.screen.MsgBox(
        "Error al enviar con thunderbird\r\n" + std::to_string(f.number()) + "." + f.description(),
        mb::kOk);
    return After::kNextStep;
  });
  s.Do(1, [&] {
    compose = std::string("-compose ") + '"' +
              "attachment='%files%',to='%to%',subject='%subject%',body='%body%'" + '"';
  });
  s.Do(2, [&] { compose = ReplaceAll(compose, "%to%", job_.destino); });
  s.Do(3, [&] { compose = ReplaceAll(compose, "%subject%", job_.asunto); });
  s.Do(4, [&] { compose = ReplaceAll(compose, "%body%", job_.cuerpo); });
  // Thunderbird splits the attachment list at commas only.
  s.Do(5, [&] { compose = ReplaceAll(compose, "%files%", ReplaceAll(job_.fichero, ";", ",")); });
  s.Do(6, [&] { ShellFile("thunderbird", compose); });  // nothing comes back from Thunderbird
  // 7 and 8: the writer is the log's file handle.
  s.Do(8, [&] {
    log = p_.files.CreateText(p_.files.ProgramFolder() + p_.files.Separator() + "thunderbird.log");
  });
  s.Do(9, [&] {
    if (!log) Raise(Err::kBadFileNameOrNumber, "thunderbird.log");
    log->Write("thunderbird " + compose + "\r\n");
  });
  s.Do(10, [&] {
    if (log) log->Close();
  });
}

int frmRemitora::ShellFile(const std::string& ARCHIVO, const std::string& ParametrosDelArchivo) {
  return p_.launcher.Open(ARCHIVO, ParametrosDelArchivo);
}

}  // namespace postique
