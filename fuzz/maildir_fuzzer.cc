// The Maildir message reader with the attachment rule: any bytes as a
// message are read, alike each time, and every attachment it finds is
// copied, only ever into the private temporary folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fakes/temp_dir.h"
#include "platform/posix/maildir_client.h"
#include "platform/posix/run_folder.h"
#include "quiet_screen.h"

using namespace postique;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const testing::TempDir maildir, temp;
  static const bool ready = [] {
    for (const char* sub : {"new", "cur", "tmp"}) std::filesystem::create_directory(maildir / sub);
    ::setenv("TMPDIR", temp.path().c_str(), 1);
    ::unsetenv("XDG_RUNTIME_DIR");  // the private folders go under TMPDIR
    return true;
  }();
  (void)ready;
  const std::string message(reinterpret_cast<const char*>(data), size);
  testing::WriteFile(maildir / "new/1.fuzz", message);
  testing::WriteFile(maildir / "new/2.fuzz", message);
  {
    fuzz::QuietScreen screen;
    posix::MaildirClient client(screen, maildir.path());
    client.SignOn();
    client.SetSessionID(client.SessionID());
    client.SetFetchUnreadOnly(false);
    client.Fetch();
    // The same message twice, read one after the other by the same parser:
    // nothing the first leaves in it may change what the second reads.
    std::string seen[2];
    for (int i = 0; i < 2; ++i) {
      client.SetMsgIndex(i);
      client.MsgDateReceived();
      seen[i] = client.MsgOrigDisplayName() + '\0' + client.MsgSubject() + '\0' +
                client.MsgNoteText() + '\0' + std::to_string(client.AttachmentCount());
    }
    if (seen[0] != seen[1]) std::abort();
    // Every attachment of each, copied: those of the second may have been
    // decoded ahead meanwhile, on the other thread, and must copy alike.
    std::vector<std::string> copies;
    for (int m = 0; m < 2; ++m) {
      client.SetMsgIndex(m);
      for (int i = 0; i < client.AttachmentCount(); ++i) {
        client.SetAttachmentIndex(i);
        const std::filesystem::path copy = client.AttachmentPathName();
        const std::string name = copy.filename().string();
        if (copy.lexically_normal() != copy || name == "." || name == ".." ||
            copy.string().rfind(temp.path() + "/postique-", 0) != 0) {
          std::abort();  // a copy outside its folder
        }
        if (m == 0) {
          copies.push_back(testing::ReadFile(copy));
        } else if (testing::ReadFile(copy) != copies[static_cast<size_t>(i)]) {
          std::abort();
        }
      }
    }
  }
  // The run's folder stays while the program runs; nothing of the client's is left in it.
  if (!testing::List(posix::RunFolder::Get().path()).empty()) std::abort();
  return 0;
}
