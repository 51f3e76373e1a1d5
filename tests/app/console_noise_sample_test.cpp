// The console's noise sample and hiss reduction's units: the sample outlives
// its document and stands in for the selection until cleared, a too short
// sample is refused with its lengths, malformed forms change nothing, and
// reduction and tone take the dialog's whole and half decibels.
#include <gtest/gtest.h>

#include <random>

#include "config/text_catalogue.h"
#include "effects/restoration/noise_sample.h"
#include "tests/app/console_effect_test_util.h"

namespace tidemark::testing {
namespace {

std::vector<float> Noise(std::size_t count, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<float> dist(0.0f, 0.03f);
  std::vector<float> out(count);
  for (float& v : out) v = dist(gen);
  return out;
}

class ConsoleNoiseSample : public ConsoleEffect {
 protected:
  void SetUp() override {
    ConsoleEffect::SetUp();
    ASSERT_GT(LoadProcessTextCatalogue(), 0u);
    NS_EFFECT_HISS::ForgetNoiseSample();
  }
  void TearDown() override { NS_EFFECT_HISS::ForgetNoiseSample(); }
};

TEST_F(ConsoleNoiseSample, SampleOutlivesItsDocumentUntilCleared) {
  Adopt(Noise(20000, 1), 1);
  EXPECT_EQ(Done("noise-sample"), "noise sample: 20000 frames\n");
  Done("close! 1");
  const std::vector<float> input = Noise(12000, 2);
  SoundDocument& doc = Adopt(input, 1);
  ASSERT_TRUE(AllDone(run_.session, "select 100f 1100f\neffect HissReduction reduction=20"));
  const std::vector<float> with_sample = ReadAll(doc);
  EXPECT_NE(with_sample, input);
  ASSERT_TRUE(AllDone(run_.session, "undo\nnoise-sample clear\nnoise-sample clear\nselect 100f 1100f\n"
                                    "effect HissReduction reduction=20"));
  EXPECT_NE(ReadAll(doc), with_sample) << "without the sample the selection is the profile";
  EXPECT_FALSE(NS_EFFECT_HISS::CurrentNoiseSample());
}

TEST_F(ConsoleNoiseSample, MalformedAndShortFormsChangeNothing) {
  const std::vector<float> input = Noise(4000, 3);
  SoundDocument& doc = Adopt(input, 1);
  Done("noise-sample");
  Done("select 0f 2047f");
  EXPECT_EQ(Execute("noise-sample"), console::Result::kFailed);
  EXPECT_EQ(Err(), "error: noise-sample: The selection is too short for this operation. (2047 frames, one FFT "
                   "frame is 2048)\n");
  for (const char* line : {"noise-sample keep", "noise-sample clear now", "effect HissReduction reduction=31",
                           "effect HissReduction reduction=-1", "effect HissReduction reduction=12.5",
                           "effect HissReduction tone=0.25", "effect HissReduction tone=6.5",
                           "effect HissReduction strength=0", "effect HissReduction mode=loud",
                           "effect HissReduction fft=4", "effect HissReduction block=01G0"}) {
    EXPECT_EQ(Execute(line), console::Result::kFailed) << line;
    EXPECT_NE(Err(), "") << line;
  }
  EXPECT_EQ(ReadAll(doc), input);
  ASSERT_TRUE(NS_EFFECT_HISS::CurrentNoiseSample());
  EXPECT_EQ(NS_EFFECT_HISS::CurrentNoiseSample()->length, 4000u);
}

TEST_F(ConsoleNoiseSample, ReductionAndToneTakeTheDialogsUnits) {
  Adopt(Noise(2 * 20000, 4), 2);
  Done("effect HissReduction reduction=12 tone=0.5");
  EXPECT_NE(Done("help effect HissReduction").find("block=0100020050FB320000000101"), std::string::npos);
  Done("effect HissReduction reduction=30 tone=-6 mode=hiss strength=3 fft=3 usesample=off smoothing=off");
  EXPECT_NE(Done("help effect HissReduction").find("block=0000030048F4A8FD03000000"), std::string::npos);
}

}  // namespace
}  // namespace tidemark::testing
