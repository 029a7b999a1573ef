#include "app/full_page.h"

#include <gtest/gtest.h>

#include "app/pattern_view_fixture.h"
#include "common/little_endian.h"
#include "common/pattern_page.h"
#include "module/builtin_records.h"
#include "module/pattern.h"

namespace r7k {
namespace {

using testing::ReadAll;

using FullPage = testing::PictureProcedures;

TEST_F(FullPage, WritesTheFramedPictureAndThePage) {
  SelectRecord(kPatternP2000, "P2000");
  EXPECT_EQ(Run("DP_ShowFull"), 1);
  EXPECT_TRUE(view_.messages().empty());
  const auto bmp = ReadAll(pictures_ / "PatternFull.Bmp");
  ASSERT_EQ(bmp.size(), 1078u + 32 * 32);
  EXPECT_EQ(ReadLe32(bmp, 18), 32u);
  EXPECT_EQ(ReadLe32(bmp, 22), 32u);
  const auto page = ReadAll(pictures_ / "Pattern.htm");
  EXPECT_EQ(std::string(page.begin(), page.end()), PatternPageHtml("P2000", 2, 2));
}

TEST_F(FullPage, FailuresNameTheModule) {
  Select(folder_ / "missing.r7v", 0, 19, "P2000");
  EXPECT_EQ(Run("DP_ShowFull"), 2);
  const auto techniques = Entries(demo_, 'T');
  ASSERT_FALSE(techniques.empty());
  Select(techniques[0]);
  EXPECT_EQ(Run("DP_ShowFull"), 2);
  ASSERT_EQ(view_.messages().size(), 2u);
  EXPECT_EQ(view_.messages()[0].text, "Cannot load module " + (folder_ / "missing.r7v").string());
  EXPECT_EQ(view_.messages()[1].text, "Cannot load " + module_.string());
  EXPECT_EQ(view_.messages()[1].caption, "Show full pattern");
  EXPECT_FALSE(std::filesystem::exists(pictures_ / "Pattern.htm"));
}

// A pattern too large for 8 x 8 pixels a stitch is refused with its size, nothing written.
TEST_F(FullPage, RefusesAPatternTooLargeForThePage) {
  PatternGrid grid;
  grid.width = 25273;
  grid.rows = 50;
  grid.cells.assign(size_t{grid.width} * grid.rows, 1);
  SelectRecord(*EncodePattern(2, grid), "P3001");
  EXPECT_EQ(Run("DP_ShowFull"), 2);
  ASSERT_EQ(view_.messages().size(), 1u);
  EXPECT_EQ(view_.messages()[0].caption, "Show full pattern");
  EXPECT_EQ(view_.messages()[0].text,
            "P3001 is too large for the full page: 50 rows of 25273 stitches, and the page draws "
            "at most 1048576 cells of 8 x 8 pixels with its frame; the pattern view shows it "
            "smaller");
  EXPECT_FALSE(std::filesystem::exists(pictures_ / "PatternFull.Bmp"));
  EXPECT_FALSE(std::filesystem::exists(pictures_ / "Pattern.htm"));
}

}  // namespace
}  // namespace r7k
