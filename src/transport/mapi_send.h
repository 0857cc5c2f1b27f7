// The MAPI branch of the send dispatch.
#pragma once

#include <string>

#include "base/main_window_parts.h"
#include "base/send_job.h"
#include "base/steps.h"

namespace postique {

// Steps 440 to 900 of the dispatch, under the caller's steps: composes one
// message from job and hands it to the mail client, sending with the
// client's confirmation unless dialogo says not to. A failure while the
// destination is resolved (steps 710 to 740) does not stop the send.
void SendWithMapi(const MainWindowParts& w, Steps& steps, const SendJob& job,
                  const std::string& dialogo);

}  // namespace postique
