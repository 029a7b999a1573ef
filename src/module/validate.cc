#include "module/validate.h"

#include <algorithm>

#include "module/address.h"
#include "module/sector.h"
#include "module/technique.h"

namespace r7k {
namespace {

constexpr size_t kSectorEndCodeSpan = 201;

bool HasEndCode(std::span<const uint8_t> bytes) {
  return std::find(bytes.begin(), bytes.end(), kEndCode) != bytes.end();
}

}  // namespace

unsigned NameNumber(std::string_view name) {
  unsigned value = 0;
  for (size_t i = 1; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
    // Past five digits no 16-bit number can match; stop before the value could overflow.
    if (value > 99999) break;
    value = value * 10 + static_cast<unsigned>(name[i] - '0');
  }
  return value;
}

int ValidatePattern(std::span<const uint8_t> record) {
  if (record.empty() || record[0] > 4) return kValidTooManyColours;
  return kValidOk;
}

int ValidateTechnique(std::span<const uint8_t> record) {
  const auto code = TechniqueSizeCode(record.size());
  if (!code || record[0] != *code) return kValidBadSizeCode;
  if (!HasEndCode(record)) return kValidNoEndCode;
  return kValidOk;
}

int ValidateSector(std::string_view name, std::span<const uint8_t> record) {
  if (record.empty() || record[0] != kSectorKindMark) return kValidNotSector;
  constexpr size_t kNeeded = kSectorTechniqueNumberOffset + 2;
  if (record.size() < kNeeded) return kValidNumberMismatch;
  if (ReadBe16(record, kSectorEmbeddedTechniqueOffset + 1) !=
          ReadBe16(record, kSectorTechniqueNumberOffset) ||
      ReadBe16(record, 1) != NameNumber(name)) {
    return kValidNumberMismatch;
  }
  if (!HasEndCode(record.first(std::min(record.size(), kSectorEndCodeSpan)))) {
    return kValidNoEndCode;
  }
  return kValidOk;
}

int ValidateEntity(std::string_view name, std::span<const uint8_t> record) {
  if (name.empty()) return kValidOk;
  switch (name[0]) {
    case 'P': return ValidatePattern(record);
    case 'T': return ValidateTechnique(record);
    case 'S': return ValidateSector(name, record);
    default: return kValidOk;
  }
}

}  // namespace r7k
