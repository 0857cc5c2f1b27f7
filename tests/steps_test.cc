#include "base/steps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace postique {
namespace {

const Failure kBroken(5, "roto");
void Break() {
  throw kBroken;
}

struct Recorder {
  std::vector<int> handled;
  After after = After::kNextStep;
  Steps::Handler Handler() {
    return [this](int step, const Failure& f) {
      EXPECT_EQ(f.number(), 5);
      handled.push_back(step);
      return after;
    };
  }
};

TEST(Steps, IgnoringSkipsTheFailingStepAndKeepsWhatItWouldHaveProduced) {
  Recorder r;
  Steps s(r.Handler());
  s.Ignore();
  std::string value = "antes";
  EXPECT_FALSE(s.Do(10, [&] {
    Break();
    value = "después";
  }));
  EXPECT_TRUE(s.Do(20, [&] { value += "+20"; }));
  EXPECT_EQ(value, "antes+20");
  EXPECT_TRUE(r.handled.empty());
}

TEST(Steps, AFailingTestEntersTheBranchItGuards) {
  Recorder r;
  Steps s(r.Handler());
  s.Ignore();
  EXPECT_TRUE(s.Test(10, [&]() -> bool {
    Break();
    return false;
  }));
  EXPECT_FALSE(s.Test(20, [] { return false; }));
  s.Arm();
  EXPECT_TRUE(s.Test(30, [&]() -> bool {
    Break();
    return false;
  }));
  EXPECT_EQ(r.handled, std::vector<int>{30});
}

TEST(Steps, ResumeShowsTheFailureAndGoesOnWithTheNextStep) {
  Recorder r;
  Steps s(r.Handler());
  std::vector<int> ran;
  const bool finished = s.Run([&] {
    s.Do(1, [&] { ran.push_back(1); });
    s.Do(2, Break);
    s.Do(3, [&] { ran.push_back(3); });
  });
  EXPECT_TRUE(finished);
  EXPECT_EQ(ran, (std::vector<int>{1, 3}));
  EXPECT_EQ(r.handled, std::vector<int>{2});
  EXPECT_EQ(s.step(), 3);
}

TEST(Steps, LeaveEndsTheBodyForTheFixedPlace) {
  Recorder r;
  r.after = After::kLeave;
  Steps s(r.Handler());
  std::vector<int> ran;
  const bool finished = s.Run([&] {
    s.Do(10, Break);
    s.Do(20, [&] { ran.push_back(20); });
  });
  EXPECT_FALSE(finished);
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(s.step(), 10);
}

TEST(Steps, ALeaveBelongsToItsOwnProcedure) {
  Recorder outerRecorder, innerRecorder;
  innerRecorder.after = After::kLeave;
  Steps outer(outerRecorder.Handler());
  bool innerFinished = true, outerWentOn = false;
  outer.Run([&] {
    outer.Do(100, [&] {
      Steps inner(innerRecorder.Handler());
      innerFinished = inner.Run([&] { inner.Do(1, Break); });
    });
    outerWentOn = true;
  });
  EXPECT_FALSE(innerFinished);
  EXPECT_TRUE(outerWentOn);
  EXPECT_TRUE(outerRecorder.handled.empty());
}

// A step whose failure the procedure acts on itself: armed or ignoring,
// the handler never sees it, and it is there until the step runs again.
TEST(Steps, AKeptFailureWaitsForTheProcedureUntilItsStepRunsAgain) {
  for (const bool ignoring : {false, true}) {
    Recorder r;
    Steps s(r.Handler());
    if (ignoring) s.Ignore();
    EXPECT_FALSE(s.Keep(200, Break));
    EXPECT_TRUE(s.Keep(320, [] {}));
    ASSERT_NE(s.Kept(200), nullptr);
    EXPECT_EQ(s.Kept(200)->number(), kBroken.number());
    EXPECT_EQ(s.Kept(320), nullptr);
    EXPECT_EQ(s.step(), 320);
    EXPECT_TRUE(r.handled.empty());
    EXPECT_TRUE(s.Keep(200, [] {}));
    EXPECT_EQ(s.Kept(200), nullptr) << "the step's last run completed";
  }
}

TEST(Steps, OtherExceptionsPassThrough) {
  Recorder r;
  Steps s(r.Handler());
  s.Ignore();
  EXPECT_THROW(s.Do(1, [] { throw std::logic_error("x"); }), std::logic_error);
}

}  // namespace
}  // namespace postique
