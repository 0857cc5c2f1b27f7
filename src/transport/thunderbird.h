// The Thunderbird branch of the send dispatch.
#pragma once

#include "base/main_window_parts.h"
#include "base/send_job.h"

namespace postique {

// Hands job to Thunderbird's compose window and logs the command in
// thunderbird.log beside the program; every failure is shown to the user.
// False when Thunderbird could not be started: the job did not leave.
bool SendWithThunderbird(const MainWindowParts& w, const SendJob& job);

}  // namespace postique
