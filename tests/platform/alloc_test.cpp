#include "platform/alloc.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"
#include "platform/intrusive_ref.h"

namespace tidemark {
namespace {

struct Base {
  virtual ~Base() = default;
};

// Built from a value; `fail` makes the constructor run out of memory.
struct Made : Base, RefCounted<Made> {
  explicit Made(int v, bool fail = false) : value(v) {
    if (fail) throw std::bad_alloc();
  }
  int value;
};

TEST(MakeNewTest, FillsEveryKindOfHolder) {
  Made* raw = nullptr;
  ASSERT_EQ(MakeNew(&raw, 1), err::kOk);
  EXPECT_EQ(raw->value, 1);
  delete raw;

  std::unique_ptr<Made> owned;
  ASSERT_EQ(MakeNew(&owned, 2), err::kOk);
  EXPECT_EQ(owned->value, 2);

  std::unique_ptr<Base> base;
  ASSERT_EQ(MakeNew<Made>(&base, 3), err::kOk);
  EXPECT_EQ(dynamic_cast<Made&>(*base).value, 3);

  IntrusiveRef<Made> counted;
  ASSERT_EQ(MakeNew(&counted, 4), err::kOk);
  EXPECT_EQ(counted->value, 4);
  EXPECT_EQ(counted->ref_count(), 1u);  // the new object's first reference, adopted

  std::unique_ptr<double[]> array;
  ASSERT_EQ(MakeNew(&array, 3), err::kOk);
  array[2] = 1.0;
}

TEST(MakeNewTest, AConstructorOutOfMemoryGives2AndAnEmptyHolder) {
  Made kept(0);
  Made* raw = &kept;
  EXPECT_EQ(MakeNew(&raw, 1, true), err::kOutOfMemory);
  EXPECT_EQ(raw, nullptr);

  auto owned = std::make_unique<Made>(5);  // what the holder had is let go
  EXPECT_EQ(MakeNew(&owned, 6, true), err::kOutOfMemory);
  EXPECT_FALSE(owned);

  std::unique_ptr<Base> base;
  EXPECT_EQ(MakeNew<Made>(&base, 7, true), err::kOutOfMemory);
  EXPECT_FALSE(base);

  IntrusiveRef<Made> counted;
  EXPECT_EQ(MakeNew(&counted, 8, true), err::kOutOfMemory);
  EXPECT_FALSE(counted);
}

TEST(MakeNewTest, AnArrayTooLargeToSizeGives2) {
  std::unique_ptr<double[]> array;
  EXPECT_EQ(MakeNew(&array, SIZE_MAX / 4), err::kOutOfMemory);
  EXPECT_FALSE(array);
}

TEST(TryAllocTest, PassesTheWorksResultAndTurnsBadAllocInto2) {
  EXPECT_EQ(TryAlloc([] {}), err::kOk);
  EXPECT_EQ(TryAlloc([] { return Error(77); }), 77u);
  EXPECT_EQ(TryAlloc([] { throw std::bad_alloc(); }), err::kOutOfMemory);
  // A failure other than memory is not the helper's to hide.
  EXPECT_THROW((void)TryAlloc([] { std::vector<char>().reserve(SIZE_MAX); }), std::length_error);
}

TEST(TryAllocTest, TheUndoStepRunsOnlyWhenMemoryRanOut) {
  int undone = 0;
  EXPECT_EQ(TryAlloc([] { return err::kOutOfMemory; }, [&] { ++undone; }), err::kOutOfMemory);
  EXPECT_EQ(undone, 0);  // a 2 the work returned itself is not a thrown one
  EXPECT_EQ(TryAlloc([]() -> Error { throw std::bad_alloc(); }, [&] { ++undone; }), err::kOutOfMemory);
  EXPECT_EQ(undone, 1);
}

}  // namespace
}  // namespace tidemark
