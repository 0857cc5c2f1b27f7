// Reads one send job and hands it to its transport; the program ends here
// whenever a job was read.
#include <string>
#include <vector>

#include "base/text.h"
#include "job/send_from_job_file.h"
#include "transport/mapi_send.h"
#include "transport/thunderbird.h"

namespace postique {

bool SendFromJobFile(const MainWindowParts& w, SendJob& job, std::shared_ptr<frmFEnvio>& dialog) {
  bool result = false;
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
  bool sent = true;  // false when the transport could not hand the job over

  Steps s([&](int step, const Failure& f) {
    const std::string text = "Error en POSTIQUE. Linea: " + std::to_string(step) +
                             ". Aviso desde POSTIQUE.EXE: " + f.description() + " (" +
                             std::to_string(f.number()) + ")";
    w.SetStatus(text);
    // The status line alone flashes by before the program ends: a failed send
    // would look like a sent one.
    w.p.screen.MsgBox(text, mb::kOk | mb::kCritical);
    return After::kLeave;
  });

  const bool finished = s.Run([&] {
    s.Do(10, [&] { path = w.p.process.CommandLine(); });
    if (s.Test(20, [&] { return path.empty(); })) {
      s.Do(30, [&] { result = false; });
      return;
    }
    s.Do(60, [&] { result = true; });
    s.Do(70, [&] { w.SetStatus("Abriendo Fichero con información: " + path); });
    if (s.Test(80, [&] { return w.p.files.Lookup(path).empty(); })) {
      s.Do(90, [&] { w.p.screen.MsgBox(" Falta el archivo " + path, mb::kOk); });
      return;
    }
    s.Do(120, [&] { lines = w.p.files.ReadLines(path); });
    s.Do(130, [&] { w.SetStatus("Obteniendo Información de Fichero " + path); });
    s.Do(140, [&] { readLine(job.destino); });
    s.Do(150, [&] { w.form.SetText("Label2", 0, "Destino:" + job.destino); });
    s.Do(160, [&] { readLine(job.asunto); });
    s.Do(170, [&] { w.form.SetText("Label2", 1, "Asunto:" + job.asunto); });
    s.Do(180, [&] { readLine(job.cuerpo); });
    s.Do(190, [&] { w.form.SetText("Label2", 2, "Cuerpo:" + job.cuerpo); });
    s.Do(200, [&] { readLine(job.fichero); });
    s.Do(210, [&] { w.form.SetText("Label2", 3, "Fichero:" + job.fichero); });
    s.Ignore();  // 220: the fifth and sixth lines are optional
    s.Do(230, [&] { readLine(dialogo); });
    s.Do(240, [&] { readLine(job.forma); });
    s.Do(250, [&] { w.form.SetText("Label2", 4, "Dialogo: " + BooleanText(ToBoolean(dialogo))); });
    s.Arm();
    s.Do(260, [&] { w.SetStatus("Cerrando fichero " + path); });
    s.Do(270, [&] { lines.clear(); });
    s.Do(280, [&] { w.SetStatus("Borrando Fichero " + path); });
    s.Do(290, [&] { w.p.files.Remove(path); });

    if (s.Test(300, [&] { return job.forma.empty(); })) {
      s.Do(310, [&] {
        if (!dialog) dialog = std::make_shared<frmFEnvio>(w.p.screen, dialog);
        method = dialog->A_FormaEnvio();
      });
    } else if (s.Test(330, [&] { return job.forma.front() == 'O'; })) {
      s.Do(340, [&] { method = kMethodMapi; });
    } else {
      s.Do(360, [&] { method = kMethodThunderbird; });
    }

    if (s.Test(390, [&] { return method == kMethodThunderbird; })) {
      s.Do(400, [&] { sent = SendWithThunderbird(w, job); });
    } else if (s.Test(410, [&] { return method == kMethodCancelled; })) {
      s.Do(420, [&] { w.p.screen.MsgBox("Cancelado el envio", mb::kOk | mb::kCritical); });
    } else {
      SendWithMapi(w, s, job, dialogo);
    }
    // A caller must be able to tell that the job did not leave.
    s.Do(920, [&] { w.p.process.End(!sent ? kExitSendError : kExitNormal); });
  });
  if (finished) return result;

  s.Ignore();  // 940: the exit path
  s.Do(950, [&] { w.SetStatus("Desconectado"); });
  s.Do(960, [&] { w.p.MAPISession1.SignOff(); });
  w.p.process.End(kExitSendError);  // 970
}

}  // namespace postique
