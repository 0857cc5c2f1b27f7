// Pages through the inbox messages inside the main window.
#include <string>

#include "inbox/inbox_tools.h"

namespace postique {

void InboxTools::DisplayMessage() {
  MAPIMessages& messages = w_.p.MAPIMessages1;
  Steps s([this](int line, const Failure& f) {
    w_.p.screen.MsgBox("Línea: " + std::to_string(line) + ". " + std::to_string(f.number()) + "." +
                           f.description(),
                       mb::kOk);
    return After::kNextStep;
  });
  s.Ignore();                                           // 10
  OpenInbox(s, {20, 30, 40, 50, 60, 70, 80, 90, 100});  // 20 to 100
  // An unreadable count leaves it at 0: the walk ends at once.
  int count = 0;
  s.Do(120, [&] { count = messages.MsgCount(); });
  for (int i = 0; i < count; ++i) {
    s.Do(130, [&] { messages.SetMsgIndex(i); });
    ShowMessage(s, 140);  // 140 to 170
    s.Arm();              // 180
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
