#include "platform/intrusive_ref.h"

#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace tidemark {
namespace {

// Counts its own destructions in a counter the test owns.
template <typename Count>
struct Probe : RefCounted<Probe<Count>, Count> {
  explicit Probe(int* destroyed_count) : destroyed(destroyed_count) {}
  ~Probe() { ++*destroyed; }
  int* destroyed;
};

template <typename Count>
class IntrusiveRefTest : public ::testing::Test {};
using Counts = ::testing::Types<PlainRefCount, AtomicRefCount>;
TYPED_TEST_SUITE(IntrusiveRefTest, Counts);

TYPED_TEST(IntrusiveRefTest, CopyAddsMoveStealsResetReleases) {
  int destroyed = 0;
  auto* raw = new Probe<TypeParam>(&destroyed);
  IntrusiveRef<Probe<TypeParam>> a = IntrusiveRef<Probe<TypeParam>>::Adopt(raw);
  EXPECT_EQ(raw->ref_count(), 1u);  // adopting takes over the first reference

  IntrusiveRef<Probe<TypeParam>> b = a;
  EXPECT_EQ(raw->ref_count(), 2u);
  IntrusiveRef<Probe<TypeParam>> c = std::move(b);
  EXPECT_FALSE(b);
  EXPECT_EQ(c.get(), raw);
  EXPECT_EQ(raw->ref_count(), 2u);

  c = c;  // self-assignment keeps the count
  EXPECT_EQ(raw->ref_count(), 2u);
  IntrusiveRef<Probe<TypeParam>> d;
  d = c;
  EXPECT_EQ(raw->ref_count(), 3u);
  d = IntrusiveRef<Probe<TypeParam>>();  // assigning over a reference releases it
  EXPECT_EQ(raw->ref_count(), 2u);

  c.reset();
  EXPECT_EQ(raw->ref_count(), 1u);
  EXPECT_EQ(destroyed, 0);
  a.reset();
  EXPECT_EQ(destroyed, 1);
  a.reset();  // an empty ref releases nothing
  EXPECT_EQ(destroyed, 1);
}

TYPED_TEST(IntrusiveRefTest, ShareAddsReleaseHandsTheReferenceOver) {
  int destroyed = 0;
  auto* raw = new Probe<TypeParam>(&destroyed);
  {
    auto shared = IntrusiveRef<Probe<TypeParam>>::Share(raw);
    EXPECT_EQ(raw->ref_count(), 2u);
    Probe<TypeParam>* handed = shared.release();
    EXPECT_FALSE(shared);
    EXPECT_EQ(handed, raw);
    EXPECT_EQ(raw->ref_count(), 2u);
    handed->Release();
  }
  EXPECT_EQ(raw->ref_count(), 1u);
  EXPECT_EQ(destroyed, 0);
  raw->Release();
  EXPECT_EQ(destroyed, 1);
}

TEST(RefCountedTest, ACopiedObjectStartsWithItsOwnCount) {
  int destroyed = 0;
  auto a = IntrusiveRef<Probe<PlainRefCount>>::Adopt(new Probe<PlainRefCount>(&destroyed));
  a->AddRef();
  auto b = IntrusiveRef<Probe<PlainRefCount>>::Adopt(new Probe<PlainRefCount>(*a));
  EXPECT_EQ(b->ref_count(), 1u);
  EXPECT_EQ(a->ref_count(), 2u);
  a->Release();
}

TEST(AtomicRefCountTest, DropUnlessLastKeepsTheLastReference) {
  AtomicRefCount count;
  count.Add();
  EXPECT_TRUE(count.DropUnlessLast());
  EXPECT_FALSE(count.DropUnlessLast());
  EXPECT_EQ(count.value(), 1u);
  EXPECT_TRUE(count.Drop());
}

TEST(AtomicRefCountTest, ThreadsCopyingOneReferenceLeaveItsCount) {
  int destroyed = 0;
  const auto shared = IntrusiveRef<Probe<AtomicRefCount>>::Adopt(new Probe<AtomicRefCount>(&destroyed));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&shared] {
      for (int i = 0; i < 20000; ++i) {
        IntrusiveRef<Probe<AtomicRefCount>> copy = shared;
        IntrusiveRef<Probe<AtomicRefCount>> moved = std::move(copy);
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(shared->ref_count(), 1u);
  EXPECT_EQ(destroyed, 0);
}

}  // namespace
}  // namespace tidemark
