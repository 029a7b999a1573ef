#include "app/copy_entry.h"

#include <algorithm>

#include "module/address.h"
#include "module/sector.h"
#include "module/validate.h"

namespace r7k {
namespace {

std::optional<NewEntryKind> KindOf(const std::string& name) {
  if (name.starts_with('T')) return NewEntryKind::kTechnique;
  if (name.starts_with('P')) return NewEntryKind::kPattern;
  if (name.starts_with('S')) return NewEntryKind::kSector;
  return std::nullopt;
}

// The last valid entry of that name; else, with `any`, the last one listed.
const DirectoryEntry* FindEntry(const Directory& dir, const std::string& name, bool any) {
  const DirectoryEntry* found = nullptr;
  for (const DirectoryEntry& e : dir.entries) {
    if (e.name != name) continue;
    if (e.state == kEntryValid || (any && (!found || found->state != kEntryValid))) found = &e;
  }
  return found;
}

std::string Bytes(size_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

// The "MOD" references of a sector record: its front and back pattern that are entries of the
// module that holds it.
std::vector<std::pair<const char*, PatternReference>> ModuleReferences(
    std::span<const uint8_t> record) {
  std::vector<std::pair<const char*, PatternReference>> refs;
  const auto sector = ReadSectorRecord(record);
  if (!sector) return refs;
  for (const auto& [side, ref] : {std::pair{"front", sector->front}, {"back", sector->back}})
    if (!ref.empty && ref.source == kSourceModule) refs.emplace_back(side, ref);
  return refs;
}

// What the copied sector's references to the source module meet in the target.
void NoteSourceReferences(const std::string& name, std::span<const uint8_t> record,
                          std::span<const uint8_t> source, std::span<const uint8_t> target,
                          std::vector<std::string>& notes) {
  for (const auto& [side, ref] : ModuleReferences(record)) {
    const std::string index = std::to_string(ref.index);
    std::string note = name + "'s " + side + " pattern " + ref.name + " is entry " + index +
                       " of the source module; ";
    const auto here = FindReferencedEntry(source, kModuleDirectoryBase, ref.index, ref.name);
    const auto there = FindReferencedEntry(target, kModuleDirectoryBase, ref.index, ref.name);
    const auto here_bytes = here ? EntityBytes(source, *here) : std::nullopt;
    const auto there_bytes = there ? EntityBytes(target, *there) : std::nullopt;
    if (here_bytes && there_bytes && std::ranges::equal(*here_bytes, *there_bytes))
      note += "the target holds the same pattern there";
    else if (there)
      note += "the target's entry " + index + " is a " + ref.name + " with other bytes";
    else
      note += "the target has no " + ref.name + " at entry " + index + ", so there the sector " +
              "shows no " + side + " pattern";
    notes.push_back(std::move(note));
  }
}

// The valid sectors of the target whose "MOD" references name the entry `old`.
std::vector<std::string> SectorsReferringTo(std::span<const uint8_t> image, const Directory& dir,
                                            const DirectoryEntry& old) {
  std::vector<std::string> found;
  for (const DirectoryEntry& e : dir.entries) {
    if (e.state != kEntryValid || !e.name.starts_with('S')) continue;
    const auto bytes = EntityBytes(image, e);
    if (!bytes) continue;
    for (const auto& [side, ref] : ModuleReferences(*bytes))
      if (ref.index == old.index && ref.name == old.name)
        found.push_back(e.name + "'s " + side + " pattern");
  }
  return found;
}

}  // namespace

CopyResult CopyEntry(std::span<const uint8_t> source, const Directory& source_directory,
                     std::vector<uint8_t>& target, const CopyRequest& request) {
  CopyResult result;
  auto refuse = [&](NewEntryRefusal refusal) {
    result.refusal = std::move(refusal);
    result.notes.clear();
    return result;
  };
  auto refuse_text = [&](std::string text) { return refuse({kMbIconStop, std::move(text)}); };
  const std::string& name = request.name;
  const std::string new_name = request.new_name.empty() ? name : request.new_name;
  const auto kind = KindOf(name);
  if (!kind)
    return refuse_text(name + " is no technique, pattern or sector; only those are copied");
  if (new_name[0] != name[0])
    return refuse_text(name + " cannot be copied as " + new_name + ": a copy keeps its kind");
  const DirectoryEntry* entry = FindEntry(source_directory, name, true);
  if (!entry) return refuse_text("There is no entry " + name + " in the source module");
  const auto bytes = EntityBytes(source, *entry);
  if (!bytes) return refuse_text("The entry " + name + " lies outside the source module");
  std::vector<uint8_t> record(bytes->begin(), bytes->end());
  if (entry->state != kEntryValid)
    result.notes.push_back(name + " is not valid in the source module; its bytes are copied");
  if (new_name != name && *kind != NewEntryKind::kPattern && record.size() >= 3) {
    const auto number = static_cast<uint16_t>(NameNumber(new_name));
    if (ReadBe16(record, 1) != number) {
      WriteBe16(record, 1, number);
      result.notes.push_back(new_name + " carries the number " + std::to_string(number) +
                             " of its name (bytes 1 and 2)");
    }
  }
  if (const int code = ValidateEntity(new_name, record); code != kValidOk)
    return refuse_text("Validate result = " + std::to_string(code));

  std::vector<uint8_t> image = target;
  const DirectoryResult read = ReadDirectory(image);
  if (read.error != DirectoryError::kNone)
    return refuse_text("The directory of the module is corrupted or has no end; nothing copied");
  const Directory& dir = read.directory;
  const DirectoryEntry* old = request.replace ? FindEntry(dir, new_name, false) : nullptr;
  const auto old_bytes = old ? EntityBytes(image, *old) : std::nullopt;
  if (old && !old_bytes)
    return refuse_text("The entry " + new_name + " lies outside the module; nothing changed");
  if (old_bytes && (old_bytes->size() == record.size() ||
                    (*kind == NewEntryKind::kPattern && record.size() < old_bytes->size()))) {
    PutRecordInPlace(image, *old, record);
    result.done = "replaced " + new_name + " in place (" + Bytes(record.size());
    if (record.size() < old_bytes->size())
      result.done +=
          "; the last " + Bytes(old_bytes->size() - record.size()) + " of its entry are now 0";
    result.done += ")";
  } else {
    if (old) {
      image[EntryOffset(dir.base, old->index)] = kEntryDeleted;
    } else if (auto refusal = RefuseNewEntryName(*kind, new_name)) {
      return refuse(std::move(*refusal));
    }
    if (auto refusal = AddNewEntryRecord(image, *kind, new_name, record))
      return refuse(std::move(*refusal));
    result.done = "added " + new_name + " as entry " + std::to_string(dir.entries.size()) + " (" +
                  Bytes(record.size()) + ")";
    if (old) {
      result.done += "; the old " + new_name + " (entry " + std::to_string(old->index) + ", " +
                     Bytes(static_cast<size_t>(old->Size())) + ") is now deleted";
      const auto referring = SectorsReferringTo(image, dir, *old);
      for (const std::string& sector : referring)
        result.notes.push_back(sector + " still shows the old " + new_name + " (entry " +
                               std::to_string(old->index) + ", now deleted)");
    }
  }
  if (*kind == NewEntryKind::kSector)
    NoteSourceReferences(new_name, record, source, image, result.notes);
  target = std::move(image);
  return result;
}

}  // namespace r7k
