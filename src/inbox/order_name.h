#pragma once

#include <string_view>

namespace postique {

// Whether an attachment's file name, as the mail client reports it, may be
// written into the order folder: a plain name that stays inside the folder.
// Windows' reserved device names are refused everywhere, since the folder is
// read by the invoicing product on Windows.
bool IsSafeOrderFileName(std::string_view name);

}  // namespace postique
