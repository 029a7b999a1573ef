#include "module/instructions.h"

#include <cstdio>

namespace r7k {
namespace {

struct FlagLine {
  uint8_t bit;
  const char* line;
};

constexpr FlagLine kFlags1[] = {{0x10, "0x10 back pattern required\r\n"},
                                {0x08, "0x08 reversible\r\n"},
                                {0x04, "0x04 front single color/row\r\n"},
                                {0x02, "0x02 back single color/row\r\n"},
                                {0x01, "0x01 front pattern required\r\n"}};

constexpr FlagLine kFlags2[] = {{0x10, "0x10 pattern drawing allowed\r\n"},
                                {0x08, "0x08 ask back pattern\r\n"},
                                {0x04, "0x04 ask front pattern\r\n"},
                                {0x02, "0x02 always on\r\n"},
                                {0x01, "0x01 can be knitted mechanical\r\n"}};

constexpr const char* kHandles[] = {"up",     "at right", "down",   "at left",
                                    "3-> 12", "3->  3",   "3->  6", "3->  9"};

std::string FlagsText(std::span<const FlagLine> table, uint8_t flags) {
  std::string text;
  for (const FlagLine& f : table)
    if (flags & f.bit) text += f.line;
  return text;
}

std::string Format(const char* format, int a) {
  char text[32];
  std::snprintf(text, sizeof text, format, a);
  return text;
}

std::string Unnamed(uint8_t byte) { return Format("?? (%02X)", byte); }

// Setting bytes of a knitting pass. The short name goes by the low four bits alone; the full
// name by the whole byte, whose bits 4 to 5 add the direction arrow.
std::string ShortSettingName(uint8_t byte) {
  static constexpr const char* kShort[16] = {"LX", "KX", "LX", "LX", "OX", "KX", "KX",    "SX",
                                             "LX", "SX", "KX", "LX", "OX", "UX", nullptr, nullptr};
  const char* name = kShort[byte & 0x0F];
  return name ? name : Unnamed(byte);
}

std::string FullSettingName(uint8_t byte) {
  struct Setting {
    const char* name;
    bool arrows;
  };
  static constexpr Setting kFull[16] = {
      {"N", true},      {"KX", true},  {"LX", true},     {"CX", false},
      {"OX", true},     {"EX", false}, {"FX", true},     {"GX", true},
      {"LX", true},     {"SX", true},  {nullptr, false}, {nullptr, false},
      {nullptr, false}, {"UX", true},  {nullptr, false}, {nullptr, false}};
  static constexpr const char* kArrows[4] = {"", " ->", " <-", " <-->"};
  const Setting& s = kFull[byte & 0x0F];
  const unsigned arrow = (byte >> 4) & 0x03;
  if (byte > 0x3D || !s.name || (arrow != 0 && !s.arrows)) return Unnamed(byte);
  return std::string(s.name) + kArrows[arrow];
}

InstructionRow PassRow(std::span<const uint8_t> pass) {
  char code[16];
  std::snprintf(code, sizeof code, "%02X,%02X,%d", pass[0], pass[1], pass[2]);
  const std::string value = "," + std::to_string(pass[2]);
  return {code, ShortSettingName(pass[0]) + "," + ShortSettingName(pass[1]) + value,
          FullSettingName(pass[0]) + "," + FullSettingName(pass[1]) + value};
}

std::string RackingText(uint8_t amount) {
  static constexpr const char* kRacking[] = {"1/4", "1/2", "3/4", "1", "1.5", "2",  "3", "4",
                                             "5",   "6",   "7",   "8", "9",   "10", "0"};
  if (amount < std::size(kRacking)) return kRacking[amount];
  return Unnamed(amount);
}

// How the comment of a code with an operand shows the operand.
enum class Operand { kRacking, kUnsigned, kSigned };

struct OperandCode {
  uint8_t code;
  const char* instr;    // followed by a blank and the operand, signed
  const char* comment;  // followed by the operand as `shown`, then `suffix`
  Operand shown;
  const char* suffix;
};

constexpr OperandCode kOperandCodes[] = {
    {0x91, "xxx", "Versatz hinteren Bett Links ", Operand::kRacking, ""},
    {0x92, "xxx", "Versatz hinteren Bett Rechts ", Operand::kRacking, ""},
    {0x93, "UVH", "Umhangen Vorn zu Hinten ", Operand::kUnsigned, ""},
    {0x94, "UHV", "Umhangen Hinten zu Vorn ", Operand::kUnsigned, ""},
    {0x95, "VDH", "Versatz Daten Hinten ", Operand::kSigned, " Maschen"},
    {0x96, "VMH", "Versatz Muster Hinten ", Operand::kSigned, " Maschen"},
    {0xA8, "VMV", "Versatz Muster Vorn ", Operand::kSigned, " Maschen"},
    {0xA9, "VDV", "Versatz Daten Vorn ", Operand::kSigned, " Maschen"},
    {0xB0, "COL", "Color ", Operand::kSigned, ""},
    {0xB1, "VBL", "Versatz Bett Links ", Operand::kRacking, ""},
    {0xB2, "VBR", "Versatz Bett Rechts ", Operand::kRacking, ""},
};

struct SingleCode {
  uint8_t code;
  const char* instr;
  const char* comment;  // code page 1252
};

constexpr SingleCode kSingleCodes[] = {
    {0xA0, "COL0", ""},
    {0xB3, "???", "Advance feeder"},
    {0xB4, "", "Display VERSATZ (RACKING)"},
    {0xBA, "???", "0xBA"},
    {0xC0, "SSA", "Start Spezielle Anfangsverarbeitung"},
    {0xD2, "Msg 2", "Display ENDE ANSCHLAG (END CAST ON)"},
    {0xD3, "IDH", "Invertieren Daten Hinten"},
    {0xD4, "MGK",
     "Display MG KONTR Maschengr\xF6\xDF"
     "e Kontrolieren (CONTROL STS)"},
    {0xD5, "FGN", "Display FREMDES GARN (WASTE YARN)"},
    {0xD6, "Mag 6", "Display ENDE ZWICHEN REIHEN (End Transition Rows)"},
    {0xD7, "IMH", "Invertieren Muster Hinten"},
    {0xD8, "Mag 8", "Display OHNE GARN (WITHOUT YARN)"},
    {0xDC, "MAK", "anfangs maschen kontrolieren (CONTROL STS)"},
    {0xE1, "ESA0", "Ende Spezielle Anfangsverarbeitung"},
    {0xE2, "IDV", "Invertieren Daten Vorn"},
    {0xE6, "IMV", "Invertieren Muster Vorn"},
    {0xE9, "NDV", "Neue Daten Vorn"},
    {0xEA, "NDV2", "Neue Daten Vorn 2"},
    {0xEB, "NDH2", "Neue Daten Hinten 2"},
    {0xEF, "EVA", "Ende der VerArbeitung"},
    {0xF1, "ESA", "Ende Spezielle Anfangsverarbeitung (End Cast On)"},
    {0xF5, "FGN", "Display FREMDES GARN in N\xFCsschen 2 nehmen (WASTE YARN)"},
    {0xF8, "", ""},
    {0xFA, "NDH", "Neue Daten Hinten"},
    {0xFB, "NDB", "Neue Daten Beiden"},
};

InstructionRow OperandRow(const OperandCode& c, uint8_t operand) {
  const int s = static_cast<int8_t>(operand);
  std::string value;
  switch (c.shown) {
    case Operand::kRacking: value = RackingText(operand); break;
    case Operand::kUnsigned: value = std::to_string(operand); break;
    case Operand::kSigned: value = std::to_string(s); break;
  }
  char code[8];
  std::snprintf(code, sizeof code, "%02X,%02X", c.code, operand);
  return {code, std::string(c.instr) + " " + std::to_string(s),
          Cp1252ToUtf8(std::string(c.comment) + value + c.suffix)};
}

// One whole instruction (its length by InstructionLength) as a row.
InstructionRow InstructionRowOf(std::span<const uint8_t> bytes) {
  const uint8_t code = bytes[0];
  if (code < 0x80) return PassRow(bytes);
  for (const OperandCode& c : kOperandCodes)
    if (c.code == code) return OperandRow(c, bytes[1]);
  const std::string hex = Format("%02X", code);
  for (const SingleCode& c : kSingleCodes)
    if (c.code == code) return {hex, c.instr, Cp1252ToUtf8(c.comment)};
  return {hex, std::to_string(code), ""};
}

InstructionRow CutShortRow(std::span<const uint8_t> rest) {
  std::string code;
  for (uint8_t b : rest) code += (code.empty() ? "" : ",") + Format("%02X", b);
  return {code, "", "Record ends before the end code EF"};
}

// Unicode code points of 0x80 to 0x9F; the rest of the page is Latin-1. The five unused
// positions pass through as their C1 control, as Windows converts them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::string TechniqueFlags1Text(uint8_t flags) { return FlagsText(kFlags1, flags); }
std::string TechniqueFlags2Text(uint8_t flags) { return FlagsText(kFlags2, flags); }

std::string HandleText(uint8_t handle) { return kHandles[(handle & 0x70) >> 4]; }

std::string HandleStateText(uint8_t handle) {
  std::string text = (handle & 0x80) ? "hidden" : "";
  if (handle & 0x0F) text += Format(" + 0x%02x", handle & 0x0F);
  return text;
}

std::optional<TechniqueHeaderView> DescribeTechniqueHeader(std::span<const uint8_t> record) {
  const std::optional<TechniqueHeader> h = ReadTechniqueHeader(record);
  if (!h) return std::nullopt;
  TechniqueHeaderView v;
  v.size = TechniqueSizeFromCode(h->size_code);
  v.number = h->number;
  v.byte3 = TechniqueFlags1Text(h->flags1);
  v.byte4 = TechniqueFlags2Text(h->flags2);
  v.handle = HandleText(h->handle);
  v.handle_state = HandleStateText(h->handle);
  v.one_time_passes = h->one_time_passes;
  v.pattern_passes = h->pattern_passes;
  v.width = h->width;
  v.height = h->height;
  return v;
}

InstructionListing DecodeInstructionRows(std::span<const uint8_t> record, size_t from) {
  const InstructionList list = ListInstructions(record, from);
  InstructionListing listing;
  listing.ended = list.ended;
  listing.rows.reserve(list.instructions.size() + 1);
  for (const Instruction& instruction : list.instructions)
    listing.rows.push_back(InstructionRowOf(instruction.bytes));
  if (!list.ended) listing.rows.push_back(CutShortRow(record.subspan(list.end)));
  return listing;
}

std::string FormatInstructionRow(const InstructionRow& row) {
  // printf's "%-10s": pads to ten characters, never cuts.
  const auto padded = [](std::string text) {
    if (text.size() < 10) text.resize(10, ' ');
    return text;
  };
  return padded(row.code) + " " + padded(row.instr) + " " + row.comment;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto byte = static_cast<uint8_t>(ch);
    const char16_t cp = byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | cp >> 6);
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | cp >> 12);
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace r7k
