// What the order retrieval and the inbox browser do alike: open the inbox
// and show a message in the main window.
#include "inbox/inbox_tools.h"

namespace postique {

void InboxTools::OpenInbox(Steps& s, const std::array<int, 9>& at) {
  MAPISession& session = w_.p.MAPISession1;
  MAPIMessages& messages = w_.p.MAPIMessages1;
  s.Do(at[0], [&] { session.SetDownLoadMail(w_.form.at("CheckDescargar").value == 1); });
  s.Do(at[1], [&] { w_.SetStatus("Conectando con MAPI"); });
  s.Do(at[2], [&] { session.SignOn(); });
  s.Do(at[3], [&] { w_.SetStatus("Conectando Sesión"); });
  s.Do(at[4], [&] { messages.SetSessionID(session.SessionID()); });
  s.Do(at[5], [&] { messages.SetFetchUnreadOnly(false); });
  bool readable = true;
  s.Do(at[6], [&] { readable = FetchInbox(); });
  if (s.Test(at[7], [&] { return readable && messages.MsgCount() == 0; })) {
    s.Do(at[8], [&] {
      w_.p.screen.MsgBox("No hay mensajes en la bandeja de entrada", mb::kOk | mb::kInformation);
    });
  }
}

bool InboxTools::ShowMessage(Steps& s, int first) {
  MAPIMessages& messages = w_.p.MAPIMessages1;
  s.Do(first, [&] { w_.form.SetText("lblMsgDateReceived", messages.MsgDateReceived()); });
  s.Do(first + 10, [&] { w_.form.SetText("txtMsgNoteText", messages.MsgNoteText()); });
  s.Do(first + 20,
       [&] { w_.form.SetText("lblMsgOrigDisplayName", messages.MsgOrigDisplayName()); });
  return s.Do(first + 30, [&] { w_.form.SetText("lblMsgSubject", messages.MsgSubject()); });
}

bool InboxTools::FetchInbox() {
  try {
    w_.p.MAPIMessages1.Fetch();
    return true;
  } catch (const Failure& f) {
    // A mail program that failed while it listed its inbox: the inbox is not
    // empty, and the user is told why it cannot be read.
    if (f.number() == static_cast<long>(Err::kMapiFailure)) {
      w_.p.screen.MsgBox("No se ha podido leer la bandeja de entrada: " + f.description() + ".",
                         mb::kOk | mb::kCritical);
      return false;
    }
    if (f.number() != static_cast<long>(Err::kMapiNotSupported)) throw;
    // Saying the inbox is empty would be untrue: it cannot be read.
    if (!toldInboxUnreadable_) {
      toldInboxUnreadable_ = true;
      w_.p.screen.MsgBox(
          "Su programa de correo no deja que otros programas lean su bandeja de "
          "entrada: no se pueden buscar en ella los pedidos ni ver sus mensajes (" +
              f.description() + ").",
          mb::kOk | mb::kInformation);
    }
    return false;
  }
}

}  // namespace postique
