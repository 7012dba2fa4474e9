#include "scene/small_vector.h"

#include <gtest/gtest.h>

#include "scene/uv.h"

namespace mw {
namespace {

TEST(SmallVector, GrowsFromInlineToHeapKeepingValues) {
  SmallVector<int, 4> v;
  for (int i = 0; i < 100; ++i) v.push_back(i);
  ASSERT_EQ(v.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(v[i], i);
}

TEST(SmallVector, CopiesAndMovesAreIndependent) {
  SmallVector<int, 2> a{1, 2, 3};
  SmallVector<int, 2> b = a;
  b[0] = 9;
  EXPECT_EQ(a[0], 1);
  SmallVector<int, 2> c = std::move(b);
  EXPECT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0], 9);
  EXPECT_TRUE(b.empty());
  SmallVector<int, 2> small{5};
  c = small;  // heap -> inline-sized content
  EXPECT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0], 5);
  c = c;
  EXPECT_EQ(c[0], 5);
}

TEST(SmallVector, PushBackOfItsOwnElementWhileGrowing) {
  SmallVector<int, 2> v{7, 8};
  v.push_back(v[0]);
  EXPECT_EQ(v[2], 7);
}

TEST(SmallVector, ResizeValueInitialisesAndEraseShifts) {
  SmallVector<CUV, 4> v;
  v.resize(6);
  EXPECT_EQ(v[5], CUV(0, 0));
  v[1] = CUV(1, 2);
  v.erase(0);
  EXPECT_EQ(v.size(), 5u);
  EXPECT_EQ(v[0], CUV(1, 2));
}

}  // namespace
}  // namespace mw
