// Copies the first attachment of every order message of the inbox into the
// order folder, where the invoicing product picks it up.
#include <string>

#include "base/order_file_name.h"
#include "base/text.h"
#include "inbox/inbox_tools.h"

namespace postique {

namespace {

constexpr char kOrderFilter[] = "PEDIDO TRAMBELO";
// Windows names the folder alike in any letter case; one spelling serves
// where case matters.
constexpr char kOrderFolderName[] = "MapiIn";

std::string Paragraphs(std::initializer_list<std::string> parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += "\r\n\r\n";
    text += part;
  }
  return text;
}

}  // namespace

std::string NTSFileName(const std::string& Entra, std::string& RestoRuta) {
  size_t p = Entra.rfind('\\');
  if (p == std::string::npos) p = Entra.rfind('/');
  if (p == std::string::npos) return Entra;
  RestoRuta = Entra.substr(0, p + 1);
  return Entra.substr(p + 1);
}

std::string InboxTools::OrderFolder() {
  return w_.p.files.ProgramFolder() + w_.p.files.Separator() + kOrderFolderName;
}

void InboxTools::GetArchivoPedido() {
  MAPIMessages& messages = w_.p.MAPIMessages1;
  std::string filter, name, target;
  int count = 0, i = 0, answer = 0;

  Steps s([this](int step, const Failure&) {
    w_.p.screen.MsgBox("Excepción en GetArchivoPedido. Linea" + std::to_string(step),
                       mb::kOk | mb::kCritical);
    return After::kLeave;
  });
  s.Run([&] {
    s.Do(0, [&] { w_.form.SetVisible("Frame1", true); });
    s.Do(1, [&] { filter = kOrderFilter; });
    s.Ignore();
    OpenInbox(s, {10, 20, 30, 40, 40, 100, 100, 100, 100});  // 10 to 100
    // An unreadable count leaves it at 0: the scan ends at once.
    s.Do(100, [&] { count = messages.MsgCount(); });
    for (i = 0; i < count; ++i) {
      s.Do(110, [&] { messages.SetMsgIndex(i); });
      // A message that cannot be read is said to be one, not an attachment
      // that could not be had.
      const bool read = ShowMessage(s, 120);  // 120 to 150
      if (s.Test(160, [&] { return messages.AttachmentCount() > 0; }) &&
          s.Test(170, [&] { return ContainsIgnoringCase(messages.MsgSubject(), filter); })) {
        s.Do(180, [&] { messages.SetAttachmentIndex(0); });
        // A failing copy must not pass for a bad name, nor leave the name of
        // the message before to be copied onto.
        s.Keep(190, [&] {
          std::string scratch;
          name.clear();
          name = NTSFileName(messages.AttachmentPathName(), scratch);
        });
        if (const Failure* why = s.Kept(190)) {
          s.Do(190, [&] {
            w_.p.screen.MsgBox(
                Paragraphs({!read ? "No se ha podido leer el mensaje:"
                                  : "No se ha podido obtener el archivo adjunto del mensaje:",
                            "Error " + std::to_string(why->number()) + ": " + why->description()}),
                mb::kOk | mb::kCritical);
          });
        } else if (IsSafeOrderFileName(name)) {
          PublishOrder(s, name, target, answer);
        } else {
          // The name comes from whoever sent the mail: never a path.
          s.Do(190, [&] {
            w_.p.screen.MsgBox(Paragraphs({"El archivo adjunto tiene un nombre no válido y no "
                                           "se ha copiado:",
                                           "\"" + name + "\""}),
                               mb::kOk | mb::kCritical);
          });
        }
      }
      s.Do(350, [&] {
        w_.form.SetText("lblAdjuntos", "Adjuntos: " + std::to_string(messages.AttachmentCount()));
      });
      s.Do(360, [&] { w_.form.Repaint("lblAdjuntos"); });
    }  // 370
    s.Do(370, [&] {
      w_.p.screen.MsgBox(std::to_string(i) + " correos analizados", mb::kOk | mb::kInformation);
    });
  });
}

void InboxTools::PublishOrder(Steps& s, const std::string& name, std::string& target, int& answer) {
  MAPIMessages& messages = w_.p.MAPIMessages1;
  // A folder that cannot be made is passed over like any failure here, but
  // it is why the copy then fails: the user is told that, not the copy's
  // own failure.
  s.Keep(200, [&] { w_.p.files.MakeFolder(OrderFolder()); });
  s.Do(210, [&] { target = OrderFolder() + w_.p.files.Separator() + name; });
  s.Do(220, [&] { answer = mb::kAnswerYes; });
  if (s.Test(230, [&] { return !w_.p.files.Lookup(target).empty(); })) {
    for (;;) {  // 240: the existing-file loop
      int button = 0;
      // A box that cannot be shown cannot be answered: leave the waiting file.
      if (!s.Do(250, [&] {
            button = w_.p.screen.MsgBox("Procese el archivo existente antes de continuar.",
                                        mb::kOkCancel | mb::kCritical | mb::kSystemModal);
          })) {
        answer = mb::kAnswerNo;
        break;
      }
      if (button == mb::kAnswerOk) {
        if (s.Test(260, [&] { return w_.p.files.Lookup(target).empty(); })) {
          // 270: the user has processed the waiting file, which is what the
          // loop asks for, so the new one is copied whatever was answered before.
          answer = mb::kAnswerYes;
          break;
        }
      } else {
        if (!s.Do(250, [&] {
              answer = w_.p.screen.MsgBox("El fichero ya existe. ¿SOBRE ESCRIBIRLO?",
                                          mb::kYesNo | mb::kQuestion);
            })) {
          answer = mb::kAnswerNo;
          break;
        }
        if (s.Test(280, [&] { return answer == mb::kAnswerYes; })) break;  // 290
      }
    }  // 300
  }
  if (s.Test(310, [&] { return answer != mb::kAnswerYes; })) return;  // 340
  if (s.Keep(320, [&] { w_.p.files.Copy(messages.AttachmentPathName(), target); })) {
    s.Do(330, [&] {
      w_.p.screen.MsgBox(Paragraphs({"Se ha copiado un archivo de datos en ", target,
                                     "Procese el archivo antes de continuar"}),
                         mb::kOk | mb::kInformation);
    });
  } else {
    // Saying it was copied would leave the user waiting for an order that
    // is not there.
    s.Do(330, [&] {
      const Failure* folderFailure = s.Kept(200);
      const Failure& why = folderFailure ? *folderFailure : *s.Kept(320);
      std::string reason = "Error " + std::to_string(why.number()) + ": " + why.description();
      if (folderFailure) {
        reason = "No se ha podido crear la carpeta " + OrderFolder() + ". " + reason;
      }
      w_.p.screen.MsgBox(
          Paragraphs({"No se ha podido copiar el archivo de datos en ", target, reason}),
          mb::kOk | mb::kCritical);
    });
  }
}

}  // namespace postique
