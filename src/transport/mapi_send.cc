// The MAPI branch of the send dispatch: compose one message from the job and
// hand it to the mail client.
#include <string>
#include <vector>

#include "base/text.h"
#include "transport/mapi_send.h"

namespace postique {

void SendWithMapi(const MainWindowParts& w, Steps& s, const SendJob& job,
                  const std::string& dialogo) {
  MAPISession& session = w.p.MAPISession1;
  MAPIMessages& messages = w.p.MAPIMessages1;
  std::string saved;
  std::vector<std::string> attachments;

  s.Do(440, [&] { w.SetStatus("Estableciendo directorio Trabajo"); });
  // The mail client may change the current folder while it sends.
  s.Do(450, [&] { saved = w.p.files.CurrentFolder(); });
  s.Do(460, [&] { w.SetStatus("Parámetro DownLoadMail = False"); });
  s.Do(470, [&] { session.SetDownLoadMail(false); });
  s.Do(480, [&] { w.SetStatus("Conectando con MAPI"); });
  s.Do(490, [&] { session.SignOn(); });
  s.Do(500, [&] { w.SetStatus("Conectando Sesión"); });
  s.Do(510, [&] { messages.SetSessionID(session.SessionID()); });
  s.Do(520, [&] { w.SetStatus("Componiento Mensage"); });
  s.Do(530, [&] { messages.Compose(); });
  s.Do(540, [&] { w.SetStatus("Estableciendo destino: " + job.destino); });
  s.Do(550, [&] { messages.SetRecipDisplayName(job.destino); });
  s.Do(560, [&] { w.SetStatus("Estableciendo Asunto: " + job.asunto); });
  s.Do(570, [&] { messages.SetMsgSubject(job.asunto); });
  s.Do(580, [&] { w.SetStatus("Estableciendo Cuerpo: " + job.cuerpo); });
  s.Do(590, [&] { messages.SetMsgNoteText(job.cuerpo); });
  if (s.Test(600, [&] { return !job.fichero.empty(); })) {
    s.Do(610, [&] { attachments = Split(job.fichero, ";"); });
    for (int i = 0; i < static_cast<int>(attachments.size()); ++i) {  // 630
      const std::string& entry = attachments[i];
      s.Do(640, [&] { messages.SetAttachmentIndex(i); });
      s.Do(650, [&] { w.SetStatus("Indicando Fichero Adjunto: " + entry); });
      s.Do(660, [&] { messages.SetAttachmentPathName(entry); });
      s.Do(670, [&] { w.SetStatus("Anexando Fichero a Mensaje: " + entry); });
      s.Do(680, [&] { messages.SetAttachmentName(entry); });
    }
  }
  s.Ignore();  // 710: name resolution does not stop the send
  s.Do(720, [&] { w.SetStatus("Resolviendo destino"); });
  s.Do(730, [&] { messages.ResolveName(); });
  s.Arm();  // 740
  if (s.Test(750, [&] { return dialogo.empty(); })) {
    s.Do(760, [&] { w.SetStatus("Estableciendo Envio con Confirmación"); });
    s.Do(770, [&] { messages.Send(true); });
  } else if (s.Test(790, [&] { return ToBoolean(dialogo); })) {
    s.Do(800, [&] { w.SetStatus("Estableciendo Envio con Confirmación"); });
    s.Do(810, [&] { messages.Send(true); });
  } else {
    s.Do(830, [&] { w.SetStatus("Estableciendo Envio directo"); });
    s.Do(840, [&] { messages.Send(false); });
  }
  s.Do(870, [&] { w.SetStatus("Reestableciendo Directorio Trabajo"); });
  s.Do(880, [&] { w.p.files.ChangeDrive(saved); });
  s.Do(890, [&] { w.SetStatus("Estableciendo Path Trabajo"); });
  s.Do(900, [&] { w.p.files.ChangeFolder(saved); });
}

}  // namespace postique
