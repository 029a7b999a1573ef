#include "module/instructions.h"

#include <gtest/gtest.h>

#include "module/builtin_images.h"
#include "module/builtin_records.h"
#include "module/directory.h"
#include "module/sector.h"

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
  const auto h = DescribeTechniqueHeader(kTechniqueT0001);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->size, 41);
  EXPECT_EQ(h->number, 1);
  EXPECT_EQ(h->byte3, "");
  EXPECT_EQ(h->byte4, "0x02 always on\r\n");
  EXPECT_EQ(h->handle, "up");
  EXPECT_EQ(h->handle_state, "");
  EXPECT_EQ(h->one_time_passes, 4);
  EXPECT_EQ(h->pattern_passes, 2);
  EXPECT_EQ(h->width, 2);
  EXPECT_EQ(h->height, 1);
}

TEST(TechniqueHeader, NewTechniqueTemplate) {
  const Bytes t = {0x11, 0x01, 0x2C, 0x00, 0x17, 0x00, 0x22, 0x00, 0x02,
                   0x01, 0x01, 0x01, 0x07, 0x02, 0xE9, 0xEF, 0x01, 0x00};
  const auto h = DescribeTechniqueHeader(t);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->size, 21);
  EXPECT_EQ(h->number, 300);
  EXPECT_EQ(h->byte4,
            "0x10 pattern drawing allowed\r\n0x04 ask front pattern\r\n0x02 always on\r\n"
            "0x01 can be knitted mechanical\r\n");
  EXPECT_EQ(h->handle, "down");
  EXPECT_EQ(h->handle_state, " + 0x02");
  EXPECT_EQ(h->one_time_passes, 0);
  EXPECT_EQ(h->pattern_passes, 2);

  const InstructionListing listing = DecodeInstructionRows(t);
  EXPECT_TRUE(listing.ended);
  EXPECT_EQ(listing.rows, (std::vector<Row>{{"01,07,2", "KX,SX,2", "KX,GX,2"},
                                            {"E9", "NDV", "Neue Daten Vorn"},
                                            kEnd}));
}

TEST(TechniqueHeader, FlagLinesInTableOrder) {
  EXPECT_EQ(TechniqueFlags1Text(0xFF),
            "0x10 back pattern required\r\n0x08 reversible\r\n0x04 front single color/row\r\n"
            "0x02 back single color/row\r\n0x01 front pattern required\r\n");
  EXPECT_EQ(TechniqueFlags2Text(0x08), "0x08 ask back pattern\r\n");
  EXPECT_EQ(TechniqueFlags1Text(0xE0), "");  // bits above 0x10 have no line
}

TEST(TechniqueHeader, HandlePositionsAndState) {
  const char* names[] = {"up",     "at right", "down",   "at left",
                         "3-> 12", "3->  3",   "3->  6", "3->  9"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(HandleText(static_cast<uint8_t>(i << 4)), names[i]);
  EXPECT_EQ(HandleText(0xFF), "3->  9");
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

TEST(Instructions, KnittingPassSettingNames) {
  EXPECT_EQ(RowOf({0x13, 0x02, 0}), (Row{"13,02,0", "LX,LX,0", "?? (13),LX,0"}));
  EXPECT_EQ(RowOf({0x10, 0x21, 7}), (Row{"10,21,7", "LX,KX,7", "N ->,KX <-,7"}));
  EXPECT_EQ(RowOf({0x32, 0x38, 255}), (Row{"32,38,255", "LX,LX,255", "LX <-->,LX <-->,255"}));
  EXPECT_EQ(RowOf({0x03, 0x05, 1}), (Row{"03,05,1", "LX,KX,1", "CX,EX,1"}));
  EXPECT_EQ(RowOf({0x25, 0x14, 1}), (Row{"25,14,1", "KX,OX,1", "?? (25),OX ->,1"}));
  EXPECT_EQ(RowOf({0x06, 0x17, 1}), (Row{"06,17,1", "KX,SX,1", "FX,GX ->,1"}));
  EXPECT_EQ(RowOf({0x29, 0x3D, 1}), (Row{"29,3D,1", "SX,UX,1", "SX <-,UX <-->,1"}));
  EXPECT_EQ(RowOf({0x0A, 0x0B, 1}), (Row{"0A,0B,1", "KX,LX,1", "?? (0A),?? (0B),1"}));
  EXPECT_EQ(RowOf({0x0C, 0x0D, 1}), (Row{"0C,0D,1", "OX,UX,1", "?? (0C),UX,1"}));
  EXPECT_EQ(RowOf({0x0E, 0x1F, 1}), (Row{"0E,1F,1", "?? (0E),?? (1F),1", "?? (0E),?? (1F),1"}));
  // Above 0x3D nothing has a full name, though the short name still goes by the low bits.
  EXPECT_EQ(RowOf({0x3E, 0x41, 1}), (Row{"3E,41,1", "?? (3E),KX,1", "?? (3E),?? (41),1"}));
  EXPECT_EQ(RowOf({0x7F, 0xF2, 1}), (Row{"7F,F2,1", "?? (7F),LX,1", "?? (7F),?? (F2),1"}));
}

TEST(Instructions, CodesWithAnOperand) {
  EXPECT_EQ(RowOf({0xB0, 0xFE}), (Row{"B0,FE", "COL -2", "Color -2"}));
  EXPECT_EQ(RowOf({0x93, 0xFE}), (Row{"93,FE", "UVH -2", "Umhangen Vorn zu Hinten 254"}));
  EXPECT_EQ(RowOf({0x94, 0x05}), (Row{"94,05", "UHV 5", "Umhangen Hinten zu Vorn 5"}));
  EXPECT_EQ(RowOf({0x91, 0x00}), (Row{"91,00", "xxx 0", "Versatz hinteren Bett Links 1/4"}));
  EXPECT_EQ(RowOf({0x92, 0x0E}), (Row{"92,0E", "xxx 14", "Versatz hinteren Bett Rechts 0"}));
  EXPECT_EQ(RowOf({0xB1, 0x04}), (Row{"B1,04", "VBL 4", "Versatz Bett Links 1.5"}));
  EXPECT_EQ(RowOf({0xB2, 0x0F}), (Row{"B2,0F", "VBR 15", "Versatz Bett Rechts ?? (0F)"}));
  EXPECT_EQ(RowOf({0xB2, 0xFF}), (Row{"B2,FF", "VBR -1", "Versatz Bett Rechts ?? (FF)"}));
  EXPECT_EQ(RowOf({0x95, 0x80}), (Row{"95,80", "VDH -128", "Versatz Daten Hinten -128 Maschen"}));
  EXPECT_EQ(RowOf({0x96, 0x7F}), (Row{"96,7F", "VMH 127", "Versatz Muster Hinten 127 Maschen"}));
  EXPECT_EQ(RowOf({0xA8, 0xFD}), (Row{"A8,FD", "VMV -3", "Versatz Muster Vorn -3 Maschen"}));
  EXPECT_EQ(RowOf({0xA9, 0x01}), (Row{"A9,01", "VDV 1", "Versatz Daten Vorn 1 Maschen"}));
}

TEST(Instructions, RackingAmounts) {
  const char* amounts[] = {"1/4", "1/2", "3/4", "1", "1.5", "2", "3", "4",
                           "5",   "6",   "7",   "8", "9",   "10", "0"};
  for (uint8_t i = 0; i < 15; ++i)
    EXPECT_EQ(RowOf({0xB1, i}).comment, std::string("Versatz Bett Links ") + amounts[i]);
}

TEST(Instructions, EveryNamedOneByteCode) {
  const std::vector<std::pair<uint8_t, Row>> expected = {
      {0xA0, {"A0", "COL0", ""}},
      {0xB3, {"B3", "???", "Advance feeder"}},
      {0xB4, {"B4", "", "Display VERSATZ (RACKING)"}},
      {0xBA, {"BA", "???", "0xBA"}},
      {0xC0, {"C0", "SSA", "Start Spezielle Anfangsverarbeitung"}},
      {0xD2, {"D2", "Msg 2", "Display ENDE ANSCHLAG (END CAST ON)"}},
      {0xD3, {"D3", "IDH", "Invertieren Daten Hinten"}},
      {0xD4, {"D4", "MGK", "Display MG KONTR Maschengr\u00f6\u00dfe Kontrolieren (CONTROL STS)"}},
      {0xD5, {"D5", "FGN", "Display FREMDES GARN (WASTE YARN)"}},
      {0xD6, {"D6", "Mag 6", "Display ENDE ZWICHEN REIHEN (End Transition Rows)"}},
      {0xD7, {"D7", "IMH", "Invertieren Muster Hinten"}},
      {0xD8, {"D8", "Mag 8", "Display OHNE GARN (WITHOUT YARN)"}},
      {0xDC, {"DC", "MAK", "anfangs maschen kontrolieren (CONTROL STS)"}},
      {0xE1, {"E1", "ESA0", "Ende Spezielle Anfangsverarbeitung"}},
      {0xE2, {"E2", "IDV", "Invertieren Daten Vorn"}},
      {0xE6, {"E6", "IMV", "Invertieren Muster Vorn"}},
      {0xE9, {"E9", "NDV", "Neue Daten Vorn"}},
      {0xEA, {"EA", "NDV2", "Neue Daten Vorn 2"}},
      {0xEB, {"EB", "NDH2", "Neue Daten Hinten 2"}},
      {0xF1, {"F1", "ESA", "Ende Spezielle Anfangsverarbeitung (End Cast On)"}},
      {0xF5, {"F5", "FGN", "Display FREMDES GARN in N\u00fcsschen 2 nehmen (WASTE YARN)"}},
      {0xF8, {"F8", "", ""}},
      {0xFA, {"FA", "NDH", "Neue Daten Hinten"}},
      {0xFB, {"FB", "NDB", "Neue Daten Beiden"}},
  };
  for (const auto& [code, row] : expected) EXPECT_EQ(RowOf({code}), row) << int{code};
  EXPECT_EQ(Rows({0xEF}), std::vector<Row>{kEnd});
}

TEST(Instructions, OtherCodesInDecimal) {
  EXPECT_EQ(RowOf({0x85}), (Row{"85", "133", ""}));
  EXPECT_EQ(RowOf({0x80}), (Row{"80", "128", ""}));
  EXPECT_EQ(RowOf({0x90}), (Row{"90", "144", ""}));
  EXPECT_EQ(RowOf({0xFF}), (Row{"FF", "255", ""}));
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

// Every technique the program carries, and every technique embedded in a demo sector, lists
// to its end code and has a header.
TEST(Instructions, EveryBuiltInTechniqueLists) {
  size_t techniques = 0;
  for (const std::string_view name : BuiltinImageNames()) {
    const std::span<const uint8_t> image = BuiltinImage(name);
    const DirectoryResult dir = ReadDirectory(image);
    ASSERT_EQ(dir.error, DirectoryError::kNone) << name;
    for (const DirectoryEntry& e : dir.directory.entries) {
      if (e.state != kEntryValid || (e.name[0] != 'T' && e.name[0] != 'S')) continue;
      const auto bytes = EntityBytes(image, e);
      ASSERT_TRUE(bytes) << name << " " << e.name;
      std::span<const uint8_t> record = *bytes;
      if (e.name[0] == 'S') {
        ASSERT_GE(record.size(), kSectorEmbeddedTechniqueOffset + kSectorEmbeddedTechniqueSize);
        record = record.subspan(kSectorEmbeddedTechniqueOffset, kSectorEmbeddedTechniqueSize);
      }
      EXPECT_TRUE(DescribeTechniqueHeader(record)) << name << " " << e.name;
      const InstructionListing listing = DecodeInstructionRows(record);
      EXPECT_TRUE(listing.ended) << name << " " << e.name;
      EXPECT_EQ(listing.rows.back(), kEnd) << name << " " << e.name;
      ++techniques;
    }
  }
  EXPECT_GT(techniques, 474u);
}

}  // namespace
}  // namespace r7k
