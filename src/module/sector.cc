#include "module/sector.h"

#include <algorithm>

#include "module/address.h"

namespace r7k {
namespace {

constexpr size_t kRefNameNumber = 1;
constexpr size_t kRefSourceNumber = 3;
constexpr size_t kRefIndex = 11;
constexpr size_t kRefName = 32;
constexpr size_t kRefNameSize = 5;
constexpr size_t kRefColours = 43;
constexpr size_t kRefWidth = 44;
constexpr size_t kRefRows = 46;

constexpr size_t kColours = 7;
constexpr size_t kFeeders = 8;
constexpr size_t kFeederColours = 14;
constexpr size_t kInvert = 20;
constexpr size_t kFrontRepeats = 24;  // vertical, horizontal, (2 bytes), to right/left
constexpr size_t kBackRepeats = 35;

SideRepeats ReadRepeats(std::span<const uint8_t> record, size_t pos) {
  return {ReadBe16(record, pos), ReadBe16(record, pos + 2), ReadBe16(record, pos + 6)};
}

void WriteRepeats(const SideRepeats& r, std::span<uint8_t> record, size_t pos) {
  WriteBe16(record, pos, r.vertical);
  WriteBe16(record, pos + 2, r.horizontal);
  WriteBe16(record, pos + 6, r.to_right_left);
}

}  // namespace

std::optional<PatternReference> ReadPatternReference(std::span<const uint8_t> bytes) {
  if (bytes.size() < kPatternReferenceUsedSize) return std::nullopt;
  PatternReference ref;
  if (std::equal(kEmptyReferenceMark.begin(), kEmptyReferenceMark.end(), bytes.begin())) {
    ref.empty = true;
    return ref;
  }
  ref.source = bytes[0];
  ref.name_number = ReadBe16(bytes, kRefNameNumber);
  ref.source_number = ReadBe16(bytes, kRefSourceNumber);
  ref.index = ReadBe16(bytes, kRefIndex);
  ref.name.assign(reinterpret_cast<const char*>(&bytes[kRefName]), kRefNameSize);
  ref.colours = bytes[kRefColours];
  ref.width = ReadBe16(bytes, kRefWidth);
  ref.rows = ReadBe16(bytes, kRefRows);
  return ref;
}

bool WritePatternReference(const PatternReference& ref, std::span<uint8_t> out) {
  if (out.size() < kPatternReferenceUsedSize) return false;
  if (ref.empty) {
    std::copy(kEmptyReferenceMark.begin(), kEmptyReferenceMark.end(), out.begin());
    return true;
  }
  out[0] = ref.source;
  WriteBe16(out, kRefNameNumber, ref.name_number);
  WriteBe16(out, kRefSourceNumber, ref.source_number);
  WriteBe16(out, kRefIndex, ref.index);
  for (size_t i = 0; i < kRefNameSize; ++i) {
    out[kRefName + i] = i < ref.name.size() ? static_cast<uint8_t>(ref.name[i]) : ' ';
  }
  out[kRefColours] = ref.colours;
  WriteBe16(out, kRefWidth, ref.width);
  WriteBe16(out, kRefRows, ref.rows);
  return true;
}

std::optional<SectorRecord> ReadSectorRecord(std::span<const uint8_t> record) {
  if (record.size() < kSectorRecordSize) return std::nullopt;
  SectorRecord s;
  s.kind = record[0];
  s.number = ReadBe16(record, 1);
  s.colours = record[kColours];
  std::copy_n(record.begin() + kFeeders, 4, s.feeders.begin());
  std::copy_n(record.begin() + kFeederColours, 4, s.feeder_colours.begin());
  s.invert = record[kInvert] != 0;
  s.front_repeats = ReadRepeats(record, kFrontRepeats);
  s.back_repeats = ReadRepeats(record, kBackRepeats);
  std::copy_n(record.begin() + kSectorEmbeddedTechniqueOffset, kSectorEmbeddedTechniqueSize,
              s.technique.begin());
  s.technique_source = record[kSectorTechniqueSourceOffset];
  s.technique_number = ReadBe16(record, kSectorTechniqueNumberOffset);
  s.front = *ReadPatternReference(record.subspan(kSectorFrontReferenceOffset));
  s.back = *ReadPatternReference(record.subspan(kSectorBackReferenceOffset));
  return s;
}

bool WriteSectorRecord(const SectorRecord& s, std::span<uint8_t> out) {
  if (out.size() < kSectorRecordSize) return false;
  out[0] = s.kind;
  WriteBe16(out, 1, s.number);
  out[kColours] = s.colours;
  std::copy(s.feeders.begin(), s.feeders.end(), out.begin() + kFeeders);
  std::copy(s.feeder_colours.begin(), s.feeder_colours.end(), out.begin() + kFeederColours);
  out[kInvert] = s.invert ? 1 : 0;
  WriteRepeats(s.front_repeats, out, kFrontRepeats);
  WriteRepeats(s.back_repeats, out, kBackRepeats);
  std::copy(s.technique.begin(), s.technique.end(), out.begin() + kSectorEmbeddedTechniqueOffset);
  out[kSectorTechniqueSourceOffset] = s.technique_source;
  WriteBe16(out, kSectorTechniqueNumberOffset, s.technique_number);
  return WritePatternReference(s.front, out.subspan(kSectorFrontReferenceOffset)) &&
         WritePatternReference(s.back, out.subspan(kSectorBackReferenceOffset));
}

}  // namespace r7k
