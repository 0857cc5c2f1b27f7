// TNEF streams and attachment names: any bytes as a winmail.dat, and as an
// attachment's decoded name, give names that are safe to create in a folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/order_file_name.h"
#include "platform/posix/safe_file_name.h"
#include "platform/posix/tnef.h"

using namespace postique;

namespace {

void CheckSafe(std::string_view decoded) {
  const std::string name = posix::SafeAttachmentName(decoded, 1);
  if (name.empty() || name.size() > 255 || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos || !IsSafeOrderFileName(name)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckSafe(bytes);
  if (const auto files = posix::UnpackTnef(bytes)) {
    for (const posix::TnefFile& file : *files) CheckSafe(file.name);
  }
  return 0;
}
