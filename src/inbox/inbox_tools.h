// The main window's inbox tools: the order retrieval and the inbox browser.
#pragma once

#include <array>
#include <string>

#include "base/main_window_parts.h"
#include "base/steps.h"

namespace postique {

// The file name at the end of a path with either separator; RestoRuta gets
// the folder before it, separator included, when there is one.
std::string NTSFileName(const std::string& Entra, std::string& RestoRuta);

class InboxTools {
 public:
  explicit InboxTools(MainWindowParts w) : w_(w) {}

  // Copies the first attachment of every order message of the inbox into
  // the order folder beside the program.
  void GetArchivoPedido();
  // Pages through the inbox messages in the main window.
  void DisplayMessage();
  // Step through the inbox; no control is bound to them.
  void ShowPreviousMessage();
  void ShowNextMessage();

 private:
  // Steps 200 to 340 of the order retrieval: one order attachment into the
  // order folder.
  void PublishOrder(Steps& steps, const std::string& name, std::string& target, int& answer);
  std::string OrderFolder();
  // The opening steps of both tools, under their steps: signs on, fetches
  // the whole inbox and says when it is empty. at holds each one's number
  // in the tool's table, in order: the download setting, the first status,
  // the sign-on, the second status, the session, the unread setting, the
  // fetch, the empty test and its box.
  void OpenInbox(Steps& s, const std::array<int, 9>& at);
  // The current message's date, body, sender and subject in the main
  // window's fields, as steps first, first + 10, first + 20 and first + 30;
  // whether its header could be read.
  bool ShowMessage(Steps& s, int first);
  // Fetches the inbox. A mail program that does not let others read it is
  // named once in a box, and its inbox reads as empty; false then. One that
  // failed while it listed it is named too.
  bool FetchInbox();

  MainWindowParts w_;
  bool toldInboxUnreadable_ = false;
};

}  // namespace postique
