#pragma once

#include <string>

#include "base/failure.h"

namespace postique::win32 {

// The catalogued failure for a Windows error code (GetLastError) on path,
// with the system's own text of the error after the path.
Failure LastErrorFailure(unsigned long error, const std::string& path);

// The system's text of a Windows error code, on one line.
std::string SystemMessage(unsigned long error);

}  // namespace postique::win32
