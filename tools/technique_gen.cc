#include "technique_gen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "module/technique.h"

namespace r7k::gen {
namespace {

// Setting bytes with a name, by kind: plain knitting (LX), knit on the carriage (KX),
// tuck and slip (GX, SX), racked or transferring beds (OX, FX), and needles out of work (N).
constexpr uint8_t kPlain[] = {0x02, 0x08, 0x12, 0x22, 0x18, 0x28};
constexpr uint8_t kKnit[] = {0x01, 0x11, 0x21, 0x31};
constexpr uint8_t kTuckSlip[] = {0x07, 0x17, 0x27, 0x09, 0x19, 0x29, 0x39};
constexpr uint8_t kTransfer[] = {0x04, 0x14, 0x24, 0x06, 0x16, 0x26, 0x0D, 0x1D};
constexpr uint8_t kOther[] = {0x00, 0x10, 0x20, 0x03, 0x05, 0x0D, 0x2D};

constexpr uint8_t kCastOnMessages[] = {0xD4, 0xD5, 0xD2, 0xDC, 0xD8, 0xD6, 0xF5};
constexpr uint8_t kNewData[] = {0xE9, 0xFA, 0xEA, 0xEB, 0xFB};
constexpr uint8_t kInverts[] = {0xD3, 0xD7, 0xE2, 0xE6};
constexpr uint8_t kShifts[] = {0x95, 0x96, 0xA8, 0xA9};

enum class Family { kPlain, kJacquard, kTuckSlip, kRacking, kTransfer, kInverse, kCastOn };
constexpr Family kFamilies[] = {Family::kPlain,   Family::kJacquard, Family::kTuckSlip,
                                Family::kRacking, Family::kTransfer, Family::kInverse,
                                Family::kCastOn};

struct Stream {
  std::vector<uint8_t> bytes;
  int one_time_passes = 0;
  int pattern_passes = 0;
  bool in_pattern = false;

  void Code(uint8_t code) { bytes.push_back(code); }
  void Code(uint8_t code, uint8_t operand) { bytes.insert(bytes.end(), {code, operand}); }
  void Pass(uint8_t front, uint8_t back, int value) {
    bytes.insert(bytes.end(), {front, back, static_cast<uint8_t>(value)});
    ++(in_pattern ? pattern_passes : one_time_passes);
  }
};

const uint8_t* SettingsOf(Family f, size_t* count) {
  switch (f) {
    case Family::kTuckSlip: *count = std::size(kTuckSlip); return kTuckSlip;
    case Family::kTransfer:
    case Family::kRacking: *count = std::size(kTransfer); return kTransfer;
    case Family::kJacquard: *count = std::size(kKnit); return kKnit;
    default: *count = std::size(kPlain); return kPlain;
  }
}

uint8_t Setting(Family f, Random& rng) {
  if (rng.Chance(15)) return rng.Pick(kOther);
  size_t count = 0;
  const uint8_t* list = SettingsOf(f, &count);
  return list[rng.Next() % count];
}

// The cast-on section: start of special processing, messages and a few plain passes.
void CastOn(Stream& s, Family f, Random& rng) {
  if (rng.Chance(80)) s.Code(0xC0);
  const int passes = f == Family::kCastOn ? rng.Between(3, 8) : rng.Between(1, 4);
  for (int i = 0; i < passes; ++i) {
    if (rng.Chance(45)) s.Code(rng.Pick(kCastOnMessages));
    const uint8_t a = rng.Pick(kPlain);
    s.Pass(a, rng.Chance(70) ? a : rng.Pick(kPlain), rng.Between(1, 4));
  }
  if (rng.Chance(30)) s.Code(0xB3);
  s.Code(rng.Chance(75) ? 0xF1 : 0xE1);
}

void PatternSection(Stream& s, Family f, Random& rng) {
  s.in_pattern = true;
  const int rounds = rng.Between(1, f == Family::kCastOn ? 2 : 5);
  for (int r = 0; r < rounds; ++r) {
    switch (f) {
      case Family::kJacquard:
        s.Code(0xB0, static_cast<uint8_t>(r % 4));  // colour of this round
        break;
      case Family::kRacking:
        s.Code(rng.Chance(50) ? 0xB1 : 0xB2, static_cast<uint8_t>(rng.Between(0, 14)));
        if (rng.Chance(50)) s.Code(0xB4);
        break;
      case Family::kTransfer:
        s.Code(rng.Chance(50) ? 0x93 : 0x94, static_cast<uint8_t>(rng.Between(1, 4)));
        if (rng.Chance(30)) s.Code(rng.Chance(50) ? 0x91 : 0x92, uint8_t(rng.Between(0, 7)));
        break;
      case Family::kInverse:
        s.Code(rng.Pick(kInverts));
        if (rng.Chance(60)) s.Code(rng.Pick(kShifts), static_cast<uint8_t>(rng.Between(-3, 3)));
        break;
      default:
        if (rng.Chance(20)) s.Code(rng.Pick(kShifts), static_cast<uint8_t>(rng.Between(-2, 2)));
        break;
    }
    const int passes = rng.Between(1, 2);
    for (int i = 0; i < passes; ++i) s.Pass(Setting(f, rng), Setting(f, rng), rng.Between(1, 6));
    s.Code(rng.Pick(kNewData));
    if (f == Family::kJacquard && rng.Chance(50)) s.Code(0xB3);
  }
  if (rng.Chance(10)) s.Code(0xF8);
  s.Code(kEndCode);
}

uint8_t Flags1(Family f, Random& rng) {
  uint8_t flags = f == Family::kCastOn ? 0 : 0x01;
  if (f == Family::kJacquard && rng.Chance(50)) flags |= 0x04;
  if (f == Family::kInverse || rng.Chance(15)) flags |= 0x10;
  if (rng.Chance(20)) flags |= 0x08;
  if (rng.Chance(15)) flags |= 0x02;
  return flags;
}

uint8_t Flags2(Family f, Random& rng) {
  uint8_t flags = 0;
  if (rng.Chance(40)) flags |= 0x02;
  if (f != Family::kCastOn && rng.Chance(60)) flags |= 0x04;
  if (f == Family::kInverse || rng.Chance(20)) flags |= 0x08;
  if (f == Family::kPlain || f == Family::kTuckSlip) flags |= 0x01;
  if (rng.Chance(30)) flags |= 0x10;
  return flags;
}

uint8_t Handle(Random& rng) {
  uint8_t h = static_cast<uint8_t>(rng.Between(0, 7) << 4);
  if (rng.Chance(5)) h |= 0x80;
  if (rng.Chance(10)) h |= static_cast<uint8_t>(rng.Between(1, 3));
  return h;
}

// Cell codes 0..7 with a little structure: a repeat along the row, shifted per row.
void Grid(std::vector<uint8_t>& out, int width, int height, Random& rng) {
  const int period = rng.Between(1, std::max(1, width));
  const int shift = rng.Between(0, 2);
  const uint8_t on = static_cast<uint8_t>(rng.Between(1, 7));
  const uint8_t off = static_cast<uint8_t>(rng.Chance(70) ? 0 : rng.Between(1, 7));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) out.push_back((x + y * shift) % period == 0 ? on : off);
  }
}

}  // namespace

std::vector<uint8_t> MakeTechnique(uint16_t number, Random& rng, size_t max_size) {
  const Family family = rng.Pick(kFamilies);
  Stream s;
  CastOn(s, family, rng);
  PatternSection(s, family, rng);

  // Grids as large as the size allows, but small: at most 9 wide and 20 high.
  const size_t room = (max_size - kTechniqueHeaderSize - s.bytes.size()) / 2;
  if (max_size < kTechniqueHeaderSize + s.bytes.size() + 2 || room < 1) {
    std::fprintf(stderr, "image generator: technique %u has no room\n", unsigned{number});
    std::exit(1);
  }
  const int width = rng.Between(1, static_cast<int>(std::min<size_t>(9, room)));
  const int tallest = static_cast<int>(std::min<size_t>(20, room / width));
  const int height = rng.Between(1, rng.Chance(75) ? std::min(tallest, 6) : tallest);

  std::vector<uint8_t> record(kTechniqueHeaderSize, 0);
  record[1] = static_cast<uint8_t>(number >> 8);
  record[2] = static_cast<uint8_t>(number);
  record[3] = Flags1(family, rng);
  record[4] = Flags2(family, rng);
  record[6] = Handle(rng);
  record[7] = static_cast<uint8_t>(s.one_time_passes);
  record[8] = static_cast<uint8_t>(s.pattern_passes);
  record[9] = static_cast<uint8_t>(width);
  record[10] = static_cast<uint8_t>(height);
  for (uint8_t b : s.bytes) record.push_back(b);  // (insert trips a GCC 12 bounds warning)
  Grid(record, width, height, rng);
  Grid(record, width, height, rng);
  // Pad with zeros to the next size of the form 11 + 10k.
  while (record.size() % 10 != 1) record.push_back(0);
  record[0] = *TechniqueSizeCode(record.size());
  return record;
}

}  // namespace r7k::gen
