// Pages through the inbox messages inside the main window.
#include <string>

#include "inbox/inbox_tools.h"

namespace postique {

void InboxTools::DisplayMessage() {
  MAPISession& session = w_.p.MAPISession1;
  MAPIMessages& messages = w_.p.MAPIMessages1;
  Steps s([this](int line, const Failure& f) {
    w_.p.screen.MsgBox("Línea: " + std::to_string(line) + ". " + std::to_string(f.number()) + "." +
                           f.description(),
                       mb::kOk);
    return After::kNextStep;
  });
  s.Ignore();  // 10
  s.Do(20, [&] { session.SetDownLoadMail(w_.form.at("CheckDescargar").value == 1); });
  s.Do(30, [&] { w_.SetStatus("Conectando con MAPI"); });
  s.Do(40, [&] { session.SignOn(); });
  s.Do(50, [&] { w_.SetStatus("Conectando Sesión"); });
  s.Do(60, [&] { messages.SetSessionID(session.SessionID()); });
  s.Do(70, [&] { messages.SetFetchUnreadOnly(false); });
  bool readable = true;
  s.Do(80, [&] { readable = FetchInbox(); });
  if (s.Test(90, [&] { return readable && messages.MsgCount() == 0; })) {
    s.Do(100, [&] {
      w_.p.screen.MsgBox("No hay mensajes en la bandeja de entrada", mb::kOk | mb::kInformation);
    });
  }
  // An unreadable count leaves it at 0: the walk ends at once.
  int count = 0;
  s.Do(120, [&] { count = messages.MsgCount(); });
  for (int i = 0; i < count; ++i) {
    s.Do(130, [&] { messages.SetMsgIndex(i); });
    s.Do(140, [&] { w_.form.SetText("lblMsgDateReceived", messages.MsgDateReceived()); });
    s.Do(150, [&] { w_.form.SetText("txtMsgNoteText", messages.MsgNoteText()); });
    s.Do(160, [&] { w_.form.SetText("lblMsgOrigDisplayName", messages.MsgOrigDisplayName()); });
    s.Do(170, [&] { w_.form.SetText("lblMsgSubject", messages.MsgSubject()); });
    s.Arm();  // 180
    s.Do(190, [&] {
      w_.form.SetText("lblAdjuntos", "Adjuntos: " + std::to_string(messages.AttachmentCount()));
    });
    s.Do(200, [&] { w_.form.Repaint("lblAdjuntos"); });
    if (s.Test(210, [&] {
          return w_.p.screen.MsgBox("Message " + std::to_string(messages.MsgIndex() + 1) + " of " +
                                        std::to_string(messages.MsgCount()),
                                    mb::kOkCancel) == mb::kAnswerCancel;
        })) {
      break;  // 220
    }
  }  // 240
}

void InboxTools::ShowPreviousMessage() {
  MAPIMessages& messages = w_.p.MAPIMessages1;
  if (messages.MsgIndex() > 0) {
    messages.SetMsgIndex(messages.MsgIndex() - 1);
    DisplayMessage();
  } else {
    w_.p.screen.Beep();
  }
}

void InboxTools::ShowNextMessage() {
  MAPIMessages& messages = w_.p.MAPIMessages1;
  if (messages.MsgIndex() < messages.MsgCount() - 1) {
    messages.SetMsgIndex(messages.MsgIndex() + 1);
    DisplayMessage();
  } else {
    w_.p.screen.Beep();
  }
}

}  // namespace postique
