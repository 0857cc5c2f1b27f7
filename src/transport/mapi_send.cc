// The MAPI branch of the send dispatch: compose one message from the job and
// hand it to the mail client.
#include <string>
#include <vector>

#include "app/frm_remitora.h"
#include "app/text.h"

namespace postique {

void frmRemitora::SendWithMapi(Steps& s, int& sendStage, const std::string& dialogo) {
  MAPISession& session = p_.MAPISession1;
  MAPIMessages& messages = p_.MAPIMessages1;
  std::string saved;
  std::vector<std::string> attachments;

  s.Do(440, [&] { SetStatus("Estableciendo directorio Trabajo"); });
  // The mail client may change the current folder while it sends.
  s.Do(450, [&] { saved = p_.files.CurrentFolder(); });
  s.Do(460, [&] { SetStatus("Parámetro DownLoadMail = False"); });
  s.Do(470, [&] { session.SetDownLoadMail(false); });
  s.Do(480, [&] { SetStatus("Conectando con MAPI"); });
  s.Do(490, [&] { session.SignOn(); });
  s.Do(500, [&] { SetStatus("Conectando Sesión"); });
  s.Do(510, [&] { messages.SetSessionID(session.SessionID()); });
  s.Do(520, [&] { SetStatus("Componiento Mensage"); });
  s.Do(530, [&] { messages.Compose(); });
  s.Do(540, [&] { SetStatus("Estableciendo destino: " + job_.destino); });
  s.Do(550, [&] { messages.SetRecipDisplayName(job_.destino); });
  s.Do(560, [&] { SetStatus("Estableciendo Asunto: " + job_.asunto); });
  s.Do(570, [&] { messages.SetMsgSubject(job_.asunto); });
  s.Do(580, [&] { SetStatus("Estableciendo Cuerpo: " + job_.cuerpo); });
  s.Do(590, [&] { messages.SetMsgNoteText(job_.cuerpo); });
  if (s.Test(600, [&] { return !job_.fichero.empty(); })) {
    s.Do(610, [&] { attachments = Split(job_.fichero, ";"); });
    for (int i = 0; i < static_cast<int>(attachments.size()); ++i) {  // 630
      const std::string& entry = attachments[i];
      s.Do(640, [&] { messages.SetAttachmentIndex(i); });
      s.Do(650, [&] { SetStatus("Indicando Fichero Adjunto: " + entry); });
      s.Do(660, [&] { messages.SetAttachmentPathName(entry); });
      s.Do(670, [&] { SetStatus("Anexando Fichero a Mensaje: " + entry); });
      s.Do(680, [&] { messages.SetAttachmentName(entry); });
    }
  }
  s.Do(710, [&] { sendStage = 7; });
  s.Do(720, [&] { SetStatus("Resolviendo destino"); });
  s.Do(730, [&] { messages.ResolveName(); });
  s.Do(740, [&] { sendStage = 8; });
  if (s.Test(750, [&] { return dialogo.empty(); })) {
    s.Do(760, [&] { SetStatus("Estableciendo Envio con Confirmación"); });
    s.Do(770, [&] { messages.Send(true); });
  } else if (s.Test(790, [&] { return ToBoolean(dialogo); })) {
    s.Do(800, [&] { SetStatus("Estableciendo Envio con Confirmación"); });
    s.Do(810, [&] { messages.Send(true); });
  } else {
    s.Do(830, [&] { SetStatus("Estableciendo Envio directo"); });
    s.Do(840, [&] { messages.Send(false); });
  }
  s.Do(870, [&] { SetStatus("Reestableciendo Directorio Trabajo"); });
  s.Do(880, [&] { p_.files.ChangeDrive(saved); });
  s.Do(890, [&] { SetStatus("Estableciendo Path Trabajo"); });
  s.Do(900, [&] { p_.files.ChangeFolder(saved); });
}

}  // namespace postique
