#pragma once

#include <functional>
#include <string>

#include "base/failure.h"

namespace postique::testing {

// The number of the Failure that action raises, 0 when it raises none; its
// description goes to description when one is asked for.
inline long FailureNumber(const std::function<void()>& action, std::string* description = nullptr) {
  try {
    action();
  } catch (const Failure& f) {
    if (description) *description = f.description();
    return f.number();
  }
  return 0;
}

}  // namespace postique::testing
