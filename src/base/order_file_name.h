// The rule for the names of the files in the order folder, which both
// platforms write and the invoicing product reads on Windows.
#pragma once

#include <string_view>

namespace postique {

// Whether an attachment's file name, as the mail client reports it, may be
// written into the order folder: a plain name that stays inside the folder
// and names that very file on Windows (no trailing point or blank). Windows'
// reserved device names are refused everywhere, since the folder is read by
// the invoicing product on Windows.
bool IsSafeOrderFileName(std::string_view name);

// Whether the name is one of Windows' reserved device names (CON, PRN, AUX,
// NUL, CONIN$, CONOUT$, COM0 to COM9 and LPT0 to LPT9, also with the
// superscript digits 1 to 3), with or without an extension.
bool IsReservedDeviceName(std::string_view name);

}  // namespace postique
