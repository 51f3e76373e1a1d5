// The console's IIR filter: the description given as text= or file=, its
// faults named with their line, and help showing the text.
#include <gtest/gtest.h>

#include "config/text_catalogue.h"
#include "tests/app/console_effect_test_util.h"
#include "tests/app/console_test_util.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark::testing {
namespace {

std::vector<float> Scaled(std::vector<float> samples, float factor) {
  for (float& v : samples) v *= factor;
  return samples;
}

struct RunCase {
  std::string args;
  float factor;  // the description is a plain gain
};

TEST_F(ConsoleEffect, IirFilterTakesItsDescriptionAsTextOrFile) {
  const std::string file = MakeTempDir("iir") + "/quarter.txt";
  WriteWholeFile(file, std::vector<std::uint8_t>{'A', '0', '=', '0', '.', '2', '5', '\r', '\n'});
  const RunCase cases[] = {
      {"text=\"A = 0.5\"", 0.5f},
      {"text=\"# gain\\nB0 = 4\\nA0 = 2\"", 0.5f},
      {"wide=on text=\"A0 = 2\"", 2.0f},
      {"file=" + file, 0.25f},
  };
  const auto input = RandomSamples(600, 3, 0.4f);
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.args);
    SoundDocument& doc = Adopt(input, 2);
    Done("effect IIRFilter " + c.args);
    EXPECT_EQ(ReadAll(doc), Scaled(input, c.factor));
  }
  // The last-used block keeps the text in the form "wide" chose.
  const std::string help = Done("help effect IIRFilter");
  EXPECT_NE(help.find("  text  offset 4  "), std::string::npos) << help;
  EXPECT_NE(help.find("current \"A0=0.25\\n\""), std::string::npos) << help;
  EXPECT_NE(help.find("block=01000000410030003D00"), std::string::npos) << help;
}

struct FaultCase {
  std::string args;
  std::string message;  // a part of the error line
};

TEST_F(ConsoleEffect, IirFilterFaultsNameTheirLineAndChangeNothing) {
  ASSERT_GT(LoadProcessTextCatalogue(), 0u);
  const FaultCase cases[] = {
      {"text=\"A0 = 1\\nB1 = 1\"", "error: IIR Filter: The filter description cannot be used:\nThe filter is unstable"},
      {"text=\"x = 2\\nA0 x\"", "error: IIR Filter: The filter description has an error in line 2:\nThe line has no \"=\"."},
      {"text=\"A0 = (1\"", "in line 1:\nA parenthesis is not closed"},
      {"file=/no/such/file", "error: file=/no/such/file: "},
      {"wide=maybe text=\"A0 = 1\"", "error: wide=maybe: "},
  };
  const auto input = RandomSamples(200, 4, 0.4f);
  Adopt(input, 1);
  Done("effect IIRFilter text=\"A0 = 1\"");
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.args);
    SoundDocument& doc = Adopt(input, 1);
    EXPECT_EQ(Execute("effect IIRFilter " + c.args), console::Result::kFailed);
    EXPECT_NE(Err().find(c.message), std::string::npos);
    EXPECT_EQ(ReadAll(doc), input);
    // The settings stay the last good ones.
    EXPECT_NE(Done("help effect IIRFilter").find("current \"A0 = 1\""), std::string::npos);
  }
}

}  // namespace
}  // namespace tidemark::testing
