#include "module/instructions.h"

#include <gtest/gtest.h>

#include "module/builtin_records.h"

namespace r7k {
namespace {

using Bytes = std::vector<uint8_t>;
using Row = InstructionRow;

// The rows of a bare instruction stream.
std::vector<Row> Rows(const Bytes& stream) { return DecodeInstructionRows(stream, 0).rows; }

// The one row of a single instruction followed by the end code.
Row RowOf(const Bytes& instruction) {
  Bytes stream = instruction;
  stream.push_back(0xEF);
  const std::vector<Row> rows = Rows(stream);
  EXPECT_EQ(rows.size(), 2u);
  return rows.empty() ? Row{} : rows.front();
}

const Row kEnd = {"EF", "EVA", "Ende der VerArbeitung"};

TEST(TechniqueHeader, BuiltInFirstTechnique) {
  EXPECT_EQ(DescribeTechniqueHeader(kTechniqueT0001),
            (TechniqueHeaderView{41, 1, "", "0x02 always on\r\n", "up", "", 4, 2, 2, 1}));
}

TEST(TechniqueHeader, NewTechniqueTemplate) {
  const Bytes t = {0x11, 0x01, 0x2C, 0x00, 0x17, 0x00, 0x22, 0x00, 0x02,
                   0x01, 0x01, 0x01, 0x07, 0x02, 0xE9, 0xEF, 0x01, 0x00};
  EXPECT_EQ(DescribeTechniqueHeader(t),
            (TechniqueHeaderView{21, 300, "",
                                 "0x10 pattern drawing allowed\r\n0x04 ask front pattern\r\n"
                                 "0x02 always on\r\n0x01 can be knitted mechanical\r\n",
                                 "down", " + 0x02", 0, 2, 1, 1}));

  const InstructionListing listing = DecodeInstructionRows(t);
  EXPECT_TRUE(listing.ended);
  EXPECT_EQ(listing.rows,
            (std::vector<Row>{
                {"01,07,2", "KX,SX,2", "KX,GX,2"}, {"E9", "NDV", "Neue Daten Vorn"}, kEnd}));
}

TEST(TechniqueHeader, FlagLinesInTableOrder) {
  EXPECT_EQ(TechniqueFlags1Text(0xFF),
            "0x10 back pattern required\r\n0x08 reversible\r\n0x04 front single color/row\r\n"
            "0x02 back single color/row\r\n0x01 front pattern required\r\n");
  EXPECT_EQ(TechniqueFlags2Text(0x08), "0x08 ask back pattern\r\n");
  EXPECT_EQ(TechniqueFlags1Text(0xE0), "");  // bits above 0x10 have no line
}

TEST(TechniqueHeader, HandlePositionsAndState) {
  EXPECT_EQ(HandleText(0x00), "up");
  EXPECT_EQ(HandleText(0x40), "3-> 12");
  EXPECT_EQ(HandleText(0xFF), "3->  9");  // the low bits are the state
  EXPECT_EQ(HandleStateText(0x80), "hidden");
  EXPECT_EQ(HandleStateText(0x8B), "hidden + 0x0b");
  EXPECT_EQ(HandleStateText(0x70), "");
}

TEST(TechniqueHeader, ShortRecordHasNoHeader) {
  EXPECT_FALSE(DescribeTechniqueHeader(Bytes(10, 0x13)));
  EXPECT_TRUE(DescribeTechniqueHeader(Bytes(11, 0x13)));
}

TEST(Instructions, BuiltInFirstTechniqueRowByRow) {
  const Row mgk = {"D4", "MGK",
                   "Display MG KONTR Maschengr\u00f6\u00dfe Kontrolieren (CONTROL STS)"};
  const InstructionListing listing = DecodeInstructionRows(kTechniqueT0001);
  EXPECT_TRUE(listing.ended);
  EXPECT_EQ(listing.rows,
            (std::vector<Row>{{"C0", "SSA", "Start Spezielle Anfangsverarbeitung"},
                              mgk,
                              {"02,02,1", "LX,LX,1", "LX,LX,1"},
                              mgk,
                              {"08,08,2", "LX,LX,2", "LX,LX,2"},
                              mgk,
                              {"02,02,1", "LX,LX,1", "LX,LX,1"},
                              {"F1", "ESA", "Ende Spezielle Anfangsverarbeitung (End Cast On)"},
                              {"02,02,2", "LX,LX,2", "LX,LX,2"},
                              {"E9", "NDV", "Neue Daten Vorn"},
                              {"FA", "NDH", "Neue Daten Hinten"},
                              kEnd}));
  EXPECT_EQ(FormatInstructionRow(listing.rows[2]), "02,02,1    LX,LX,1    LX,LX,1");
  EXPECT_EQ(FormatInstructionRow(listing.rows[0]),
            "C0         SSA        Start Spezielle Anfangsverarbeitung");
}

// Only the peculiar rows of the name tables: unnamed settings, direction arrows, codes beyond
// the full names, signed and out-of-range operands, codes without a name.
TEST(Instructions, PassesOperandsAndOneByteCodes) {
  const std::vector<std::pair<Bytes, Row>> cases = {
      {{0x13, 0x02, 0}, {"13,02,0", "LX,LX,0", "?? (13),LX,0"}},
      {{0x10, 0x21, 7}, {"10,21,7", "LX,KX,7", "N ->,KX <-,7"}},
      {{0x32, 0x38, 255}, {"32,38,255", "LX,LX,255", "LX <-->,LX <-->,255"}},
      {{0x0E, 0x1F, 1}, {"0E,1F,1", "?? (0E),?? (1F),1", "?? (0E),?? (1F),1"}},
      {{0x3E, 0x41, 1}, {"3E,41,1", "?? (3E),KX,1", "?? (3E),?? (41),1"}},
      {{0x7F, 0xF2, 1}, {"7F,F2,1", "?? (7F),LX,1", "?? (7F),?? (F2),1"}},
      {{0xB0, 0xFE}, {"B0,FE", "COL -2", "Color -2"}},
      {{0x93, 0xFE}, {"93,FE", "UVH -2", "Umhangen Vorn zu Hinten 254"}},
      {{0x91, 0x00}, {"91,00", "xxx 0", "Versatz hinteren Bett Links 1/4"}},
      {{0x92, 0x0E}, {"92,0E", "xxx 14", "Versatz hinteren Bett Rechts 0"}},
      {{0xB1, 0x04}, {"B1,04", "VBL 4", "Versatz Bett Links 1.5"}},
      {{0xB2, 0x0F}, {"B2,0F", "VBR 15", "Versatz Bett Rechts ?? (0F)"}},
      {{0x95, 0x80}, {"95,80", "VDH -128", "Versatz Daten Hinten -128 Maschen"}},
      {{0x96, 0x7F}, {"96,7F", "VMH 127", "Versatz Muster Hinten 127 Maschen"}},
      {{0xA0}, {"A0", "COL0", ""}},
      {{0xB4}, {"B4", "", "Display VERSATZ (RACKING)"}},
      {{0xBA}, {"BA", "???", "0xBA"}},
      {{0xF8}, {"F8", "", ""}},
      {{0x80}, {"80", "128", ""}},
      {{0xFF}, {"FF", "255", ""}},
  };
  for (const auto& [bytes, row] : cases) EXPECT_EQ(RowOf(bytes), row) << row.code;
  EXPECT_EQ(Rows({0xEF}), std::vector<Row>{kEnd});
}

TEST(Instructions, OnlyTheEndCodeItselfEndsTheStream) {
  const std::vector<Row> rows = Rows({0xB0, 0xEF, 0x01, 0xEF, 0x02, 0x02, 0x02, 0xEF, 0xEF, 0xC0});
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (Row{"B0,EF", "COL -17", "Color -17"}));
  EXPECT_EQ(rows[1], (Row{"01,EF,2", "KX,?? (EF),2", "KX,?? (EF),2"}));
  EXPECT_EQ(rows[2].code, "02,02,239");
  EXPECT_EQ(rows[3], kEnd);  // the C0 after it is not listed
}

TEST(Instructions, StreamWithoutEndCodeStopsAtTheRecordEnd) {
  const Row cut = {"", "", "Record ends before the end code EF"};
  InstructionListing l = DecodeInstructionRows(Bytes{0xC0, 0xD4}, 0);
  EXPECT_FALSE(l.ended);
  EXPECT_EQ(l.rows, (std::vector<Row>{RowOf({0xC0}), RowOf({0xD4}), cut}));

  // An instruction cut short shows its bytes in the closing row.
  l = DecodeInstructionRows(Bytes{0xC0, 0x02, 0x02}, 0);
  EXPECT_EQ(l.rows.size(), 2u);
  EXPECT_EQ(l.rows.back(), (Row{"02,02", "", "Record ends before the end code EF"}));
  EXPECT_EQ(DecodeInstructionRows(Bytes{0xB0}, 0).rows,
            (std::vector<Row>{{"B0", "", "Record ends before the end code EF"}}));

  // Records no longer than the header list only the closing row.
  for (size_t n : {size_t{0}, size_t{5}, size_t{11}}) {
    l = DecodeInstructionRows(Bytes(n, 0x13));
    EXPECT_FALSE(l.ended);
    EXPECT_EQ(l.rows, std::vector<Row>{cut}) << n;
  }
}

TEST(Instructions, CodePage1252ToUtf8) {
  EXPECT_EQ(Cp1252ToUtf8("abc"), "abc");
  EXPECT_EQ(Cp1252ToUtf8("\xF6\xDF\xFC"), "\u00f6\u00df\u00fc");
  EXPECT_EQ(Cp1252ToUtf8("\x80\x9F"), "\u20ac\u0178");
  EXPECT_EQ(Cp1252ToUtf8("\x81"), "\u0081");
}

}  // namespace
}  // namespace r7k
