// Progress scopes: the percentage rule, a window that hears only changed
// percentages, and the cancel flag that turns success into 0xFFFFFFFF.
#include "effects/framework/progress_scope.h"

#include <gtest/gtest.h>

#include "platform/error_numbers.h"
#include "tests/effects/framework/framework_test_util.h"

namespace tidemark {
namespace {

TEST(ProgressPercent, DividesBothBy100AboveTheProductLimit) {
  struct Case {
    std::uint64_t done, total;
    std::uint32_t percent;
  };
  // Worked by hand from the rule: done x 100 / total, with both divided by
  // 100 first when done exceeds 42949672.
  const Case cases[] = {
      {0, 0, 0},
      {5, 0, 0},
      {0, 1000, 0},
      {1, 3, 33},
      {2, 3, 66},
      {999, 1000, 99},
      {1000, 1000, 100},
      {3000000000u, 4000000000u, 75},
      {4294967295u, 4294967295u, 100},
      // At the limit nothing is divided: 4294967200 / 42949699 = 99.99...
      {42949672, 42949699, 99},
      // One above: 429496 / 429496.
      {42949673, 42949699, 100},
      // 429497 / 429497, where the exact ratio is below 100.
      {42949700, 42949799, 100},
      // total below 100 after dividing: 429496 x 100 / 0.
      {42949673, 99, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressPercent(c.done, c.total), c.percent) << c.done << " of " << c.total;
}

class ProgressScopeTest : public ::testing::Test {
 protected:
  void SetUp() override { SetMainFrame(&frame_); }
  void TearDown() override { SetMainFrame(nullptr); }
  HeadlessMainFrame frame_;
};

TEST_F(ProgressScopeTest, TheWindowHearsOnlyChangedPercentages) {
  testing::TestDisplay display;
  ProgressScope scope(&display);
  scope.set_show_delay(std::chrono::milliseconds(0));
  scope.SetCaption("Counting...");
  EXPECT_EQ(scope.RunWorker([](ProgressScope& s) {
              for (const std::uint64_t done : {1, 1, 2, 2, 2, 3, 50, 50, 100}) s.Update(done, 100);
              s.Update(1000, 1000);
              return Error();
            }),
            0u);
  EXPECT_EQ(display.percents, (std::vector<std::uint32_t>{1, 2, 3, 50, 100}));
  EXPECT_EQ(display.caption, "Counting...");
  EXPECT_EQ(display.shows, 1);
}

TEST_F(ProgressScopeTest, ACancelFlagTurnsSuccessIntoCancelledOnly) {
  struct Case {
    Error work_result;
    bool cancel;
    Error result;
  };
  const Case cases[] = {
      {Error(), false, Error()},
      {Error(), true, err::kCancelled},
      {err::kSizeLimit, true, err::kSizeLimit},
      {err::kOutOfMemory, false, err::kOutOfMemory},
  };
  for (const Case& c : cases) {
    ProgressScope scope(nullptr);
    EXPECT_EQ(scope.RunWorker([&](ProgressScope& s) {
                if (c.cancel) s.Cancel();
                return c.work_result;
              }),
              c.result);
    EXPECT_EQ(frame_.status_text(), "") << "never visible, so no time taken";
  }
}

}  // namespace
}  // namespace tidemark
