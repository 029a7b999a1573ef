#include "common/sti_picture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "common/cut_fixture.h"
#include "module/builtin_records.h"
#include "module/cut.h"
#include "module/pattern.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

using ::testing::ElementsAre;

constexpr StiColor Rgb(uint8_t red, uint8_t green, uint8_t blue, uint8_t flags = 0) {
  return StiColor{blue, green, red, flags};
}

StiPicture Decode(const std::vector<uint8_t>& cut, std::span<const uint8_t> palette = {}) {
  auto picture = RunsToSti(cut, palette);
  EXPECT_TRUE(picture.has_value());
  return picture.value_or(StiPicture(0, 0));
}

// A palette file of `size` bytes whose record i holds blue i, green i + 1, red i + 2 (with
// the unused bytes 0xEE), placed by the block rule.
std::vector<uint8_t> PaletteFile(size_t size) {
  std::vector<uint8_t> file(size, 0xEE);
  file[0] = 0x41;
  file[1] = 0x48;
  file[2] = 0xE3;
  size_t at = 40;
  for (int i = 0; i < 256; ++i) {
    if (at == 508 || at == 1022 || at == 1534) at = (at / 512 + 1) * 512;
    if (at + 6 > size) break;
    file[at] = static_cast<uint8_t>(i);
    file[at + 2] = static_cast<uint8_t>(i + 1);
    file[at + 4] = static_cast<uint8_t>(i + 2);
    at += 6;
  }
  return file;
}

TEST(RunsToSti, P2000HasItsCellsColoursAndBackground) {
  const StiPicture p = Decode(kP2000Cut);
  EXPECT_EQ(p.Rows(), 2);
  EXPECT_EQ(p.Stitches(), 2);
  EXPECT_EQ(p.Kind(), kStiKindPlain);
  EXPECT_THAT(p.CellRow(0), ElementsAre(7, 0));  // first stored row, the lowest
  EXPECT_THAT(p.CellRow(1), ElementsAre(0, 7));
  // Indices 0 and 7 occur in the same rows and cells: the first of them stays background.
  EXPECT_EQ(p.Background(), 0);
  EXPECT_EQ(p.Color(0), Rgb(255, 0, 0, kStiFlagUsed | kStiFlagBackground));
  EXPECT_EQ(p.Color(7), Rgb(0, 255, 0, kStiFlagUsed));
  EXPECT_EQ(p.Color(1), Rgb(0, 0, 0));
  EXPECT_EQ(p.Color(255), Rgb(255, 255, 255));
  EXPECT_TRUE(StiPicture::HasTag(p.Block()));
  EXPECT_THAT(StiSwatches(p), ElementsAre(StiSwatch{7, 0x00FF00}, StiSwatch{0, 0x0000FF}));
}

TEST(RunsToSti, DefaultColoursGoToOccurringIndicesInOrderAndWrap) {
  std::vector<uint8_t> row;
  for (int i = 0; i < 17; ++i) row.push_back(static_cast<uint8_t>(3 * i));
  const StiPicture p = Decode(CutLayoutFromRows(17, {row}));
  for (int i = 0; i < 16; ++i) {
    StiColor expected = kStiDefaultColors[i];
    expected.flags = p.Color(static_cast<uint8_t>(3 * i)).flags;
    EXPECT_EQ(p.Color(static_cast<uint8_t>(3 * i)), expected) << i;
  }
  EXPECT_EQ(p.Color(48), Rgb(255, 0, 0, kStiFlagUsed));  // the 17th starts again at colour 1
  EXPECT_EQ(p.Color(1), Rgb(0, 0, 0));
}

TEST(RunsToSti, Index255IsWhiteOnlyWhenUnused) {
  const StiPicture used = Decode(CutLayoutFromRows(2, {{3, 255}}));
  EXPECT_EQ(used.Color(3), Rgb(255, 0, 0, kStiFlagUsed | kStiFlagBackground));
  EXPECT_EQ(used.Color(255), Rgb(0, 255, 0, kStiFlagUsed));
  const StiPicture unused = Decode(CutLayoutFromRows(2, {{3, 4}}), PaletteFile(1584));
  EXPECT_EQ(unused.Color(255), Rgb(255, 255, 255));
  EXPECT_EQ(unused.Color(254), Rgb(0, 255, 254));  // from the file
}

TEST(RunsToSti, BackgroundMustBeatTheBestInRowsAndCells) {
  // Index 1: 2 rows, 6 cells. Index 3: 3 rows but only 5 cells, so 1 stays the background.
  const StiPicture p = Decode(CutLayoutFromRows(4, {{1, 1, 1, 3}, {1, 1, 1, 3}, {3, 3, 3, 2}}));
  EXPECT_EQ(p.Background(), 1);
  EXPECT_EQ(p.Color(1).flags, kStiFlagUsed | kStiFlagBackground);
  EXPECT_EQ(p.Color(3).flags, kStiFlagUsed);
  EXPECT_EQ(p.Color(2).flags, kStiFlagUsed);
  EXPECT_EQ(p.Color(0).flags, 0);

  const StiPicture empty = Decode(CutLayoutFromRows(0, {{}, {}}));
  EXPECT_EQ(empty.Rows(), 2);
  EXPECT_EQ(empty.Background(), 0);
  EXPECT_EQ(empty.Color(0).flags, kStiFlagBackground);
}

TEST(RunsToSti, RefusesBadHeadersRunsAndTerminators) {
  // Header bytes 4 and 5, a repeat run of count 0, a terminator with a low bit set (bit 7
  // alone is allowed), a run past the end of the row.
  const std::tuple<size_t, uint8_t, bool> cases[] = {{4, 1, false},    {5, 0x80, false},
                                                     {8, 0x80, false}, {11, 0x01, false},
                                                     {11, 0x80, true}, {8, 0x03, false}};
  for (auto [at, value, good] : cases) {
    std::vector<uint8_t> cut = kP2000Cut;
    cut[at] = value;
    EXPECT_EQ(RunsToSti(cut).has_value(), good) << at << " " << int{value};
  }
}

TEST(RunsToSti, StaysInsideTruncatedOrOverstatedInput) {
  for (size_t n = 0; n < kP2000Cut.size(); ++n) {
    const std::vector<uint8_t> cut(kP2000Cut.begin(), kP2000Cut.begin() + n);
    EXPECT_FALSE(RunsToSti(cut)) << n;
  }
  // Row lengths are not trusted: the runs and the terminator end the row.
  std::vector<uint8_t> cut = kP2000Cut;
  cut[6] = 0xFF;
  cut[7] = 0xFF;
  EXPECT_TRUE(RunsToSti(cut));
  // 65535 x 65535 cells claimed by 10 bytes is refused before anything is allocated.
  EXPECT_FALSE(RunsToSti(std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0, 0x81, 1}));
}

// Encoding a grid and picturing the record the way the pattern view does gives the grid back,
// cell for cell: random sizes, up to four of the indices a pattern may use, short and long
// stretches of one colour.
TEST(RunsToSti, PicturesEncodedRandomGridsCellForCell) {
  std::mt19937 rng(11);
  constexpr uint8_t kInks[] = {0, 1, 2, 3, 7, 255};
  for (int t = 0; t < 300; ++t) {
    PatternGrid grid;
    grid.width = static_cast<uint16_t>(1 + rng() % (t % 3 ? 60 : 390));
    grid.rows = static_cast<uint16_t>(1 + rng() % 30);
    const unsigned colours = 1 + rng() % 4;
    const unsigned change = t % 2 ? 2 : 40;  // busy or calm rows
    uint8_t ink = 0;
    for (size_t i = 0; i < size_t{grid.width} * grid.rows; ++i) {
      if (rng() % change == 0) ink = kInks[(rng() % colours + t) % 6];
      grid.cells.push_back(ink);
    }
    SCOPED_TRACE(testing::Message() << "grid " << t << ": " << grid.width << " x " << grid.rows);
    const auto record = EncodePattern(static_cast<uint8_t>(colours), grid);
    ASSERT_TRUE(record);
    const CutFile cut = ConvertPatternToCut(*record);
    ASSERT_EQ(cut.code, 0);
    const auto picture = RunsToSti(cut.bytes);
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->Rows(), grid.rows);
    ASSERT_EQ(picture->Stitches(), grid.width);
    for (size_t r = 0; r < grid.rows; ++r) {
      const auto row = picture->CellRow(r);
      ASSERT_TRUE(std::equal(row.begin(), row.end(), grid.Row(r).begin(), grid.Row(r).end()))
          << "row " << r;
    }
  }
}

TEST(StiLoadPalette, ReadsRecordsByTheBlockRule) {
  StiPicture p(0, 0);
  ASSERT_TRUE(StiLoadPalette(p, PaletteFile(1584)));
  EXPECT_EQ(p.Color(0), Rgb(2, 1, 0));
  EXPECT_EQ(p.Color(77), Rgb(79, 78, 77));      // ends at 508
  EXPECT_EQ(p.Color(78), Rgb(80, 79, 78));      // moved from 508 to 512
  EXPECT_EQ(p.Color(163), Rgb(165, 164, 163));  // moved from 1022 to 1024
  EXPECT_EQ(p.Color(248), Rgb(250, 249, 248));  // moved from 1534 to 1536
  EXPECT_EQ(p.Color(255), Rgb(1, 0, 255));
}

TEST(StiLoadPalette, StopsAtTheFileEndAndIgnoresShortFilesAndWrongHeaders) {
  StiPicture p(0, 0);
  ASSERT_TRUE(StiLoadPalette(p, PaletteFile(136)));
  EXPECT_EQ(p.Color(15), Rgb(17, 16, 15));
  EXPECT_EQ(p.Color(16), Rgb(0, 0, 0));
  StiPicture q(0, 0);
  ASSERT_TRUE(StiLoadPalette(q, PaletteFile(517)));  // the moved record 78 ends at 518
  EXPECT_EQ(q.Color(77), Rgb(79, 78, 77));
  EXPECT_EQ(q.Color(78), Rgb(0, 0, 0));
  p = StiPicture(0, 0);
  EXPECT_FALSE(StiLoadPalette(p, PaletteFile(135)));
  std::vector<uint8_t> file = PaletteFile(1584);
  file[2] = 0xE4;
  EXPECT_FALSE(StiLoadPalette(p, file));
  EXPECT_EQ(p.Color(1), Rgb(0, 0, 0));
  // A refused palette file leaves the default colours in place.
  const StiPicture r = Decode(kP2000Cut, PaletteFile(135));
  EXPECT_EQ(r.Color(0), Rgb(255, 0, 0, kStiFlagUsed | kStiFlagBackground));
}

TEST(RunsToSti, ReadsThePaletteFileByPath) {
  const ScratchDir scratch;
  const std::filesystem::path& dir = scratch.path();
  const std::vector<uint8_t> file = PaletteFile(2000);
  std::FILE* f = std::fopen((dir / "@@temp.pal").string().c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  const auto with = RunsToSti(kP2000Cut, dir / "@@temp.pal");
  const auto without = RunsToSti(kP2000Cut, dir / "missing.pal");
  ASSERT_TRUE(with && without);
  EXPECT_EQ(with->Color(7), Rgb(9, 8, 7, kStiFlagUsed));
  EXPECT_EQ(without->Color(7), Rgb(0, 255, 0, kStiFlagUsed));
}

TEST(StiSwatches, FirstEightIndicesInCellOrder) {
  const StiPicture p = Decode(CutLayoutFromRows(5, {{9, 9, 1, 2, 3}, {4, 5, 6, 7, 8}}));
  std::vector<uint8_t> indices;
  for (const StiSwatch& s : StiSwatches(p)) indices.push_back(s.index);
  EXPECT_THAT(indices, ElementsAre(9, 1, 2, 3, 4, 5, 6, 7));
}

TEST(StiPicture, FromBlockChecksTagAndSize) {
  StiPicture p(2, 3);
  p.SetCell(1, 2, 42);
  std::vector<uint8_t> block(p.Block().begin(), p.Block().end());
  const auto copy = StiPicture::FromBlock(block);
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Cell(1, 2), 42);
  block.pop_back();
  EXPECT_FALSE(StiPicture::FromBlock(block));
  block.push_back(0);
  block[0] = 's';
  EXPECT_FALSE(StiPicture::FromBlock(block));
}

}  // namespace
}  // namespace r7k

namespace r7k {
namespace {

TEST(StiPictureBlock, LivesInThePoolAndCopiesAreIndependent) {
  StiPicture a(3, 5);
  EXPECT_EQ(PoolSize(kMainPool, a.Block().data()), a.Block().size());
  a.SetCell(2, 4, 9);
  StiPicture b = a;
  b.SetCell(2, 4, 1);
  EXPECT_EQ(a.Cell(2, 4), 9);
  EXPECT_EQ(b.Cell(2, 4), 1);
  EXPECT_NE(a.Block().data(), b.Block().data());
  a = b;
  EXPECT_EQ(a.Cell(2, 4), 1);
}

}  // namespace
}  // namespace r7k
