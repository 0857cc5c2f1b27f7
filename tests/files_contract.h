// The contract of the Files port, one suite for every backend: each
// platform's test program links the suite and gives it its Files.
#pragma once

#include <memory>
#include <string>

#include "base/ports.h"

namespace postique::testing {

// The backend's Files, with programFolder as the program's folder.
std::unique_ptr<Files> MakeFiles(const std::string& programFolder);

}  // namespace postique::testing
