// Reads one send job and hands it to its transport; the program ends here
// whenever a job was read.
#include <string>
#include <vector>

#include "app/frm_remitora.h"
#include "app/text.h"
#include "ui/frm_fenvio.h"

namespace postique {

bool frmRemitora::SendFromJobFile() {
  bool result = false;
  int sendStage = 0;
  std::string path, dialogo;
  std::vector<std::string> lines;
  size_t nextLine = 0;
  const auto readLine = [&](std::string& into) {
    if (nextLine >= lines.size()) Raise(Err::kInputPastEndOfFile, path);
    // Every transport would cut the field at a NUL, and send what is left.
    if (lines[nextLine].find('\0') != std::string::npos) {
      Raise(Err::kInvalidArgument, "la línea " + std::to_string(nextLine + 1) +
                                       " del trabajo contiene un carácter nulo: " + path);
    }
    into = std::move(lines[nextLine++]);
  };
  int method = 0;

  Steps s([&](int step, const Failure& f) {
    if (sendStage == 7) return After::kNextStep;  // name resolution does not stop the send
    const std::string text = "Error en POSTIQUE. Linea: " + std::to_string(step) +
                             ". Aviso desde POSTIQUE.EXE: " + f.description() + " (" +
                             std::to_string(f.number()) + ")";
    SetStatus(text);
    // The status line alone flashes by before the program ends: a failed send
    // would look like a sent one.
    p_.screen.MsgBox(text, mb::kOk | mb::kCritical);
    return After::kLeave;
  });

  const bool finished = s.Run([&] {
    s.Do(10, [&] { path = p_.process.CommandLine(); });
    if (s.Test(20, [&] { return path.empty(); })) {
      s.Do(30, [&] { result = false; });
      return;
    }
    s.Do(60, [&] { result = true; });
    s.Do(70, [&] { SetStatus("Abriendo Fichero con información: " + path); });
    if (s.Test(80, [&] { return p_.files.Lookup(path).empty(); })) {
      s.Do(90, [&] { p_.screen.MsgBox(" Falta el archivo " + path, mb::kOk); });
      return;
    }
    s.Do(120, [&] { lines = p_.files.ReadLines(path); });
    s.Do(130, [&] { SetStatus("Obteniendo Información de Fichero " + path); });
    s.Do(140, [&] { readLine(job_.destino); });
    s.Do(150, [&] { form_.SetText("Label2", 0, "Destino:" + job_.destino); });
    s.Do(160, [&] { readLine(job_.asunto); });
    s.Do(170, [&] { form_.SetText("Label2", 1, "Asunto:" + job_.asunto); });
    s.Do(180, [&] { readLine(job_.cuerpo); });
    s.Do(190, [&] { form_.SetText("Label2", 2, "Cuerpo:" + job_.cuerpo); });
    s.Do(200, [&] { readLine(job_.fichero); });
    s.Do(210, [&] { form_.SetText("Label2", 3, "Fichero:" + job_.fichero); });
    s.Ignore();  // 220: the fifth and sixth lines are optional
    s.Do(230, [&] { readLine(dialogo); });
    s.Do(240, [&] { readLine(job_.forma); });
    s.Do(250, [&] { form_.SetText("Label2", 4, "Dialogo: " + BooleanText(ToBoolean(dialogo))); });
    s.Arm();
    s.Do(260, [&] { SetStatus("Cerrando fichero " + path); });
    s.Do(270, [&] { lines.clear(); });
    s.Do(280, [&] { SetStatus("Borrando Fichero " + path); });
    s.Do(290, [&] { p_.files.Remove(path); });

    if (s.Test(300, [&] { return job_.forma.empty(); })) {
      s.Do(310, [&] {
        if (!frmFEnvio_) frmFEnvio_ = std::make_shared<frmFEnvio>(p_.screen, frmFEnvio_);
        method = frmFEnvio_->A_FormaEnvio();
      });
    } else if (s.Test(330, [&] { return job_.forma.front() == 'O'; })) {
      s.Do(340, [&] { method = kMethodMapi; });
    } else {
      s.Do(360, [&] { method = kMethodThunderbird; });
    }

    if (s.Test(390, [&] { return method == kMethodThunderbird; })) {
      s.Do(400, [&] { SendWithThunderbird(); });
    } else if (s.Test(410, [&] { return method == kMethodCancelled; })) {
      s.Do(420, [&] { p_.screen.MsgBox("Cancelado el envio", mb::kOk | mb::kCritical); });
    } else {
      SendWithMapi(s, sendStage, dialogo);
    }
    // A caller must be able to tell that the job did not leave.
    s.Do(920, [&] { p_.process.End(sendFailed_ ? kExitSendError : kExitNormal); });
  });
  if (finished) return result;

  s.Ignore();  // 940: the exit path
  s.Do(950, [&] { SetStatus("Desconectado"); });
  s.Do(960, [&] { p_.MAPISession1.SignOff(); });
  p_.process.End(kExitSendError);  // 970
}

}  // namespace postique
