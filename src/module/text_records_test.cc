#include "module/text_records.h"

#include <gtest/gtest.h>

#include <vector>

#include "module/address.h"
#include "module/builtin_images.h"
#include "module/directory.h"

namespace r7k {
namespace {

using Bytes = std::vector<uint8_t>;

// A "_0005" record of 94 bytes with the four edge positions and the stop position set.
Bytes EdgeRecord(int lv, int rv, int lu, int ru, int stop) {
  Bytes r(94, 0);
  auto put = [&r](size_t at, int v) { WriteBe16(r, at, static_cast<uint16_t>(v)); };
  put(4, lv);
  put(6, rv);
  put(8, lu);
  put(10, ru);
  put(92, stop);
  return r;
}

TEST(TextRecords, MachineErrorPreventingAndEdgeRecords) {
  const Bytes r = {1, 7, 0x00, 0xC8, 9, 2, 5, 11, 12};
  EXPECT_EQ(TextRecordText("_0000", r),
            "Machine: Model 1\r\n(1)??? 7\r\nNeedles: 200\r\n(4)??? 9\r\nMotor: Motor 1\r\n"
            "Motor power: 80 %\r\n(7)??? 11\r\n(8)??? 12\r\n");
  EXPECT_EQ(TextRecordText("_0001", Bytes{1, 3}), "Error preventing: yes\r\n(1)??? 3\r\n");
  EXPECT_EQ(TextRecordText("_0001", Bytes{2, 0}), "Error preventing: no\r\n(1)??? 0\r\n");
  EXPECT_EQ(TextRecordText("_0005", EdgeRecord(100, 200, 100, 250, 0x0123)),
            "Edge LE v: -45\r\nEdge R v: 56\r\nEdge LE ^: -93\r\nEdge R ^: 58\r\n"
            "Stop at: 291\r\n");
}

TEST(TextRecords, MachineTablesAndTheirEnds) {
  const auto lines = [](uint8_t model, uint8_t motor, uint8_t power) {
    return *TextRecordText("_0000", Bytes{model, 0, 0, 0, 0, motor, power, 0, 0});
  };
  const std::tuple<uint8_t, uint8_t, uint8_t, const char*> cases[] = {
      {0, 0, 2, "Machine: \r\n"},           {0, 0, 2, "Motor: \r\n"},
      {0, 0, 2, "Motor power: \r\n"},       {8, 3, 7, "Machine: Model 4 variant\r\n"},
      {8, 3, 7, "Motor: Motor 2\r\n"},      {8, 1, 3, "Motor: none\r\nMotor power: 60 %\r\n"},
      {8, 3, 7, "Motor power: 100 %\r\n"},  {12, 4, 8, "Machine: unknown (12)\r\n"},
      {12, 4, 8, "Motor: unknown (4)\r\n"}, {12, 4, 255, "Motor power: unknown (255)\r\n"}};
  for (auto [model, motor, power, line] : cases)
    EXPECT_NE(lines(model, motor, power).find(line), std::string::npos) << line;
}

TEST(TextRecords, EdgeRuleShiftsAbove304) {
  // Exactly 304 stays on the lower scale; positions are big-endian.
  const std::pair<Bytes, const char*> cases[] = {
      {{0, 100, 0, 200}, "Edge Motor LE: -45\r\nEdge Motor R: 56\r\n"},
      {{0, 100, 0, 250}, "Edge Motor LE: -93\r\nEdge Motor R: 58\r\n"},
      {{0, 150, 0, 154}, "Edge Motor LE: --5\r\nEdge Motor R: 10\r\n"},
      {{0, 151, 0, 154}, "Edge Motor LE: -42\r\nEdge Motor R: -38\r\n"},
      {{0x01, 0x00, 0x00, 0x40}, "Edge Motor LE: --63\r\nEdge Motor R: -128\r\n"}};
  for (const auto& [record, text] : cases) EXPECT_EQ(TextRecordText("_0002", record), text);
}

TEST(TextRecords, ShortRecordsLeaveOutWhatIsMissing) {
  EXPECT_EQ(TextRecordText("_0000", Bytes{3, 4, 1}),
            "Machine: Model 2\r\n(1)??? 4\r\nShort record: 3 bytes\r\n");
  EXPECT_EQ(TextRecordText("_0001", Bytes{}), "Short record: 0 bytes\r\n");
  EXPECT_EQ(TextRecordText("_0002", Bytes{0, 100, 0}), "Short record: 3 bytes\r\n");
  Bytes r = EdgeRecord(100, 200, 100, 250, 1);
  r.resize(93);
  EXPECT_EQ(TextRecordText("_0005", r),
            "Edge LE v: -45\r\nEdge R v: 56\r\nEdge LE ^: -93\r\nEdge R ^: 58\r\n"
            "Short record: 93 bytes\r\n");
  r.resize(11);
  EXPECT_EQ(TextRecordText("_0005", r),
            "Edge LE v: -45\r\nEdge R v: 56\r\nShort record: 11 bytes\r\n");
}

TEST(TextRecords, OnlyFourRecordsHaveAView) {
  const Bytes r(100, 1);
  for (const char* name : {"_0000", "_0001", "_0002", "_0005"}) {
    EXPECT_TRUE(HasTextRecordView(name)) << name;
    EXPECT_TRUE(TextRecordText(name, r)) << name;
  }
  for (const char* name : {"_0003", "_0004", "_0006", "_000", "_00000", "T0001", ""}) {
    EXPECT_FALSE(HasTextRecordView(name)) << name;
    EXPECT_FALSE(TextRecordText(name, r)) << name;
  }
}

TEST(TextRecords, DemoModuleRecordsAreWhole) {
  const std::span<const uint8_t> image = BuiltinImage("demo");
  const DirectoryResult dir = ReadDirectory(image);
  ASSERT_EQ(dir.error, DirectoryError::kNone);
  size_t shown = 0;
  for (const DirectoryEntry& e : dir.directory.entries) {
    if (e.state != kEntryValid || !HasTextRecordView(e.name)) continue;
    const auto bytes = EntityBytes(image, e);
    ASSERT_TRUE(bytes) << e.name;
    const std::optional<std::string> text = TextRecordText(e.name, *bytes);
    ASSERT_TRUE(text) << e.name;
    EXPECT_EQ(text->find("Short record"), std::string::npos) << e.name << "\n" << *text;
    ++shown;
  }
  EXPECT_EQ(shown, 4u);
}

}  // namespace
}  // namespace r7k
