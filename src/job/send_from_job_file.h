// The send from a job file.
#pragma once

#include <memory>

#include "base/main_window_parts.h"
#include "base/send_job.h"
#include "ui/frm_fenvio.h"

namespace postique {

// Reads the job named on the command line into job, shows it, deletes the
// file and hands the job to its transport; the program ends there whenever
// a job was read. False when the command line names none. dialog is the
// program-wide slot of the send-method dialog.
bool SendFromJobFile(const MainWindowParts& w, SendJob& job, std::shared_ptr<frmFEnvio>& dialog);

}  // namespace postique
