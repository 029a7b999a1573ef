#include "module/text_records.h"

#include <array>
#include <cstdio>

#include "module/address.h"

namespace r7k {
namespace {

// The console and motor names are our own: the records only hold their index.
constexpr std::array<const char*, 9> kModels = {
    "",        "Model 1",         "Model 1 variant", "Model 2",        "Model 2 variant",
    "Model 3", "Model 3 variant", "Model 4",         "Model 4 variant"};
constexpr std::array<const char*, 4> kMotors = {"", "none", "Motor 1", "Motor 2"};
constexpr std::array<const char*, 8> kPowers = {"",     "",     "",     "60 %",
                                                "70 %", "80 %", "90 %", "100 %"};

template <size_t N>
std::string TableText(const std::array<const char*, N>& table, int index) {
  if (index >= 0 && static_cast<size_t>(index) < N) return table[static_cast<size_t>(index)];
  return "unknown (" + std::to_string(index) + ")";
}

// Collects the lines of one record, leaving out fields that lie beyond its end.
class Lines {
 public:
  explicit Lines(std::span<const uint8_t> record) : record_(record) {}

  bool Has(size_t offset, size_t size) {
    if (offset + size <= record_.size()) return true;
    short_ = true;
    return false;
  }
  int Byte(size_t offset) const { return record_[offset]; }
  int Be16(size_t offset) const { return ReadBe16(record_, offset); }

  void Add(const char* format, int value) {
    char line[64];
    std::snprintf(line, sizeof line, format, value);
    text_ += line;
    text_ += "\r\n";
  }
  void Add(const char* label, const std::string& value) { text_ += label + value + "\r\n"; }

  // The edge pair whose positions are at `at` and `at + 2`.
  void AddEdges(size_t at, const char* left_format, const char* right_format) {
    if (!Has(at, 4)) return;
    const EdgeValues v = ConvertEdges(Be16(at), Be16(at + 2));
    Add(left_format, v.left);
    Add(right_format, v.right);
  }

  std::string Finish() {
    if (short_) Add("Short record: %d bytes", static_cast<int>(record_.size()));
    return std::move(text_);
  }

 private:
  std::span<const uint8_t> record_;
  std::string text_;
  bool short_ = false;
};

std::string MachineText(std::span<const uint8_t> record) {
  Lines lines(record);
  if (lines.Has(0, 1)) lines.Add("Machine: ", TableText(kModels, lines.Byte(0)));
  if (lines.Has(1, 1)) lines.Add("(1)??? %d", lines.Byte(1));
  if (lines.Has(2, 2)) lines.Add("Needles: %d", lines.Be16(2));
  if (lines.Has(4, 1)) lines.Add("(4)??? %d", lines.Byte(4));
  if (lines.Has(5, 1)) lines.Add("Motor: ", TableText(kMotors, lines.Byte(5)));
  if (lines.Has(6, 1)) lines.Add("Motor power: ", TableText(kPowers, lines.Byte(6)));
  if (lines.Has(7, 1)) lines.Add("(7)??? %d", lines.Byte(7));
  if (lines.Has(8, 1)) lines.Add("(8)??? %d", lines.Byte(8));
  return lines.Finish();
}

std::string ErrorPreventingText(std::span<const uint8_t> record) {
  Lines lines(record);
  if (lines.Has(0, 1)) lines.Add("Error preventing: ", lines.Byte(0) == 1 ? "yes" : "no");
  if (lines.Has(1, 1)) lines.Add("(1)??? %d", lines.Byte(1));
  return lines.Finish();
}

std::string MotorEdgeText(std::span<const uint8_t> record) {
  Lines lines(record);
  lines.AddEdges(0, "Edge Motor LE: -%d", "Edge Motor R: %d");
  return lines.Finish();
}

std::string EdgeText(std::span<const uint8_t> record) {
  Lines lines(record);
  lines.AddEdges(4, "Edge LE v: -%d", "Edge R v: %d");
  lines.AddEdges(8, "Edge LE ^: -%d", "Edge R ^: %d");
  if (lines.Has(92, 2)) lines.Add("Stop at: %d", lines.Be16(92));
  return lines.Finish();
}

struct TextView {
  std::string_view name;
  std::string (*text)(std::span<const uint8_t>);
};
constexpr std::array<TextView, 4> kViews = {{{"_0000", MachineText},
                                             {"_0001", ErrorPreventingText},
                                             {"_0002", MotorEdgeText},
                                             {"_0005", EdgeText}}};

const TextView* FindView(std::string_view name) {
  for (const TextView& view : kViews)
    if (view.name == name) return &view;
  return nullptr;
}

}  // namespace

bool HasTextRecordView(std::string_view name) { return FindView(name) != nullptr; }

std::optional<std::string> TextRecordText(std::string_view name, std::span<const uint8_t> record) {
  const TextView* view = FindView(name);
  if (!view) return std::nullopt;
  return view->text(record);
}

EdgeValues ConvertEdges(int left, int right) {
  if (left + right > 304) return {193 - left, right - 192};
  return {145 - left, right - 144};
}

}  // namespace r7k
