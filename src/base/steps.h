// Drives a procedure step by step under its error handling, so that the
// procedure reads like its step table: the step number, then the action.
//
// A procedure either ignores failures (the failing step is skipped and the
// next one runs) or has its handler armed. The armed handler sees the failing
// step and the failure and says where to go: on with the next step, or out of
// the procedure body to the procedure's fixed place (see Run). A step whose
// failure the procedure acts on itself, later, keeps it (see Keep).
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "base/failure.h"

namespace postique {

enum class After { kNextStep, kLeave };

class Steps {
 public:
  using Handler = std::function<After(int step, const Failure& failure)>;

  // Starts with the handler armed.
  explicit Steps(Handler handler) : handler_(std::move(handler)) {}

  void Ignore() { ignoring_ = true; }
  void Arm() { ignoring_ = false; }
  int step() const { return step_; }

  // Runs one step; true when it completed, false when it failed and the
  // procedure goes on.
  template <class Action>
  bool Do(int step, Action&& action) {
    step_ = step;
    try {
      action();
      return true;
    } catch (const Failure& failure) {
      Fail(failure);
      return false;
    }
  }

  // Runs one step whose failure the procedure acts on itself after it:
  // neither ignored nor handled, the failure is kept for Kept(step) until the
  // step runs again. True when it completed.
  template <class Action>
  bool Keep(int step, Action&& action) {
    step_ = step;
    std::erase_if(kept_, [step](const auto& kept) { return kept.first == step; });
    try {
      action();
      return true;
    } catch (const Failure& failure) {
      kept_.emplace_back(step, failure);
      return false;
    }
  }

  // The failure that the last run of a step by Keep left; none when it
  // completed.
  const Failure* Kept(int step) const {
    for (const auto& [at, failure] : kept_) {
      if (at == step) return &failure;
    }
    return nullptr;
  }

  // Evaluates the test of a step. When the evaluation itself fails and the
  // procedure goes on, the answer is true: the branch the test guards runs.
  template <class Check>
  bool Test(int step, Check&& test) {
    step_ = step;
    try {
      return static_cast<bool>(test());
    } catch (const Failure& failure) {
      Fail(failure);
      return true;
    }
  }

  // Runs the procedure's body. False when the handler left it; the caller then
  // continues at the procedure's fixed place.
  template <class Body>
  bool Run(Body&& body) {
    try {
      body();
      return true;
    } catch (const Left& left) {
      if (left.owner != this) throw;
      return false;
    }
  }

 private:
  struct Left {
    const Steps* owner;
  };

  void Fail(const Failure& failure) {
    if (ignoring_) return;
    if (handler_(step_, failure) == After::kLeave) throw Left{this};
  }

  Handler handler_;
  bool ignoring_ = false;
  int step_ = 0;
  std::vector<std::pair<int, Failure>> kept_;
};

}  // namespace postique
