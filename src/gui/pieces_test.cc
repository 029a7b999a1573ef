#include <gtest/gtest.h>

#include <QRect>

#include "gui/picture_widgets.h"

namespace r7k {
namespace {

TEST(PlaceNatural, CentredWhenSmallerTheMiddlePartWhenLarger) {
  auto [source, target] = PlaceNatural(QSize(300, 200), QSize(100, 50));
  EXPECT_EQ(source, QRect(0, 0, 100, 50));
  EXPECT_EQ(target, QRect(100, 75, 100, 50));
  std::tie(source, target) = PlaceNatural(QSize(360, 240), QSize(400, 300));
  EXPECT_EQ(source, QRect(20, 30, 360, 240)) << "the middle 360 x 240, unscaled";
  EXPECT_EQ(target, QRect(0, 0, 360, 240));
  std::tie(source, target) = PlaceNatural(QSize(30, 25), QSize(30, 25));
  EXPECT_EQ(target, QRect(0, 0, 30, 25));
}

}  // namespace
}  // namespace r7k
