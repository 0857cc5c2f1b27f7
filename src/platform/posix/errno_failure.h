#pragma once

#include <string>

#include "base/failure.h"

namespace postique::posix {

// The catalogued failure for a system error on path.
Failure ErrnoFailure(int error, const std::string& path);

}  // namespace postique::posix
