#include "platform/error.h"

#include <cerrno>
#include <cstdint>
#include <sstream>
#include <type_traits>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"

namespace tidemark {
namespace {

// Only the explicit ways lead from a number to an error and back.
static_assert(!std::is_convertible_v<std::uint32_t, Error>);
static_assert(!std::is_convertible_v<Error, std::uint32_t>);
static_assert(!std::is_convertible_v<Error, bool>);

TEST(ErrorTest, DefaultIsSuccessAndTrueMeansFailure) {
  constexpr Error none;
  EXPECT_TRUE(none.ok());
  EXPECT_FALSE(none);
  EXPECT_EQ(none, err::kOk);
  EXPECT_TRUE(err::kCancelled);
  EXPECT_FALSE(err::kCancelled.ok());
}

TEST(ErrorTest, ComparesWithErrorsAndRawNumbers) {
  EXPECT_EQ(err::kMalformed, Error(14));
  EXPECT_NE(err::kMalformed, err::kUnsupportedFormat);
  EXPECT_EQ(err::kMalformed, 14u);
  EXPECT_EQ(14u, err::kMalformed);
  EXPECT_NE(err::kMalformed, 15u);
}

TEST(ErrorTest, OsErrorCarriesTheErrno) {
  const Error e = err::OsError(EACCES);
  EXPECT_EQ(e.code(), 0xFD0000u | EACCES);
  EXPECT_TRUE(err::IsOsError(e));
  EXPECT_EQ(err::OsErrno(e), EACCES);
  EXPECT_FALSE(err::IsOsError(err::kCannotOpen));
  EXPECT_EQ(err::OsErrno(err::kCannotOpen), 0);
}

TEST(ErrorTest, PrintsDecimalAndHex) {
  EXPECT_EQ(::testing::PrintToString(err::kMalformed), "14 (0xE)");
  EXPECT_EQ(::testing::PrintToString(err::kCancelled), "4294967295 (0xFFFFFFFF)");
  std::ostringstream out;
  out << err::kSizeLimit << ' ' << 255;  // the stream's own flags are restored
  EXPECT_EQ(out.str(), "77 (0x4D) 255");
}

}  // namespace
}  // namespace tidemark
