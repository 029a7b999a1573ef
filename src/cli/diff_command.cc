#include <array>
#include <cstdio>

#include "app/module_file.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "module/module_diff.h"
#include "support/ascii.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--json", "", "", "print the differences as one JSON object"},
};

constexpr CommandUsage kUsage = {
    "diff", "A B",
    "Compares the virtual modules A and B: entries only in A, only in B, in both with other\n"
    "bytes (for patterns how many cells differ) or at another place, and the differing bytes\n"
    "outside every entry (directory header, directory, free space) as ranges. Prints nothing\n"
    "when the files are identical. Exit status 0 identical, 1 different, 2 trouble (a file\n"
    "that is no virtual module, a wrong command line).",
    kOptions, 2};

// A module as diff reads it: a damaged directory still leaves its bytes to compare.
struct Side {
  std::string path;
  LoadedModule module;
  const Directory* directory() const { return module.ok() ? &module.directory : nullptr; }
};

std::string Hex(size_t offset) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%05zX", offset);
  return text;
}

std::string State(uint8_t state) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", state);
  return text;
}

void PrintText(const ModuleDiff& diff, const Side& a, const Side& b, std::ostream& out) {
  for (const EntryDifference& d : diff.entries) {
    const DirectoryEntry& e = d.a ? *d.a : *d.b;
    // A damaged directory may hold any bytes in a name: they are shown, not sent to the terminal.
    const std::string head = State(e.state) + ' ' + PrintableText(e.name);
    switch (d.change) {
      case EntryChange::kOnlyInA:
      case EntryChange::kOnlyInB:
        out << "only in " << (d.a ? a.path : b.path) << ": " << head << " (" << e.Size()
            << " bytes at " << e.start << ")\n";
        break;
      case EntryChange::kMoved:
        out << "moved: " << head << " (the same " << e.Size() << " bytes, from " << d.a->start
            << " to " << d.b->start << ")\n";
        break;
      case EntryChange::kChanged: {
        out << "different: " << head << " (";
        if (d.a->Size() == d.b->Size())
          out << d.a->Size() << " bytes";
        else
          out << d.a->Size() << " -> " << d.b->Size() << " bytes";
        out << ", " << d.bytes_differing << (d.bytes_differing == 1 ? " byte" : " bytes")
            << " differ";
        if (d.cells_differing) {
          if (d.width_a != d.width_b || d.rows_a != d.rows_b)
            out << "; " << d.width_a << " x " << d.rows_a << " -> " << d.width_b << " x "
                << d.rows_b << " stitches x rows";
          out << "; " << *d.cells_differing << (*d.cells_differing == 1 ? " cell" : " cells")
              << " differ";
        }
        out << ")\n";
        break;
      }
    }
  }
  for (const ByteRange& r : diff.outside) {
    out << "bytes " << Hex(r.start) << '-' << Hex(r.end - 1) << " differ (" << r.end - r.start
        << (r.end - r.start == 1 ? " byte, " : " bytes, ");
    if (r.area == ByteArea::kBeyondA || r.area == ByteArea::kBeyondB)
      out << "only in " << (r.area == ByteArea::kBeyondA ? b.path : a.path) << ")\n";
    else
      out << ByteAreaText(r.area) << ")\n";
  }
}

void JsonEntry(JsonWriter& json, const DirectoryEntry& e) {
  json.BeginObject();
  json.Key("Valid"), json.String(State(e.state));
  json.Key("Name"), json.String(e.name);
  json.Key("Start"), json.Number(e.start);
  json.Key("End"), json.Number(e.end);
  json.Key("Size"), json.Number(e.Size());
  json.EndObject();
}

void PrintJson(const ModuleDiff& diff, const Side& a, const Side& b, std::ostream& out) {
  JsonWriter json(out);
  json.BeginObject();
  json.Key("identical"), json.Bool(diff.identical);
  for (const Side* side : {&a, &b}) {
    json.Key(side == &a ? "a" : "b");
    json.BeginObject();
    json.Key("path"), json.String(side->path);
    json.Key("size"), json.Number(static_cast<int64_t>(side->module.image.size()));
    json.Key("directory");
    if (side->module.ok())
      json.Bool(true);
    else
      json.String(ModuleLoadMessage(side->module, side->path));
    json.EndObject();
  }
  for (const EntryChange change :
       {EntryChange::kOnlyInA, EntryChange::kOnlyInB, EntryChange::kChanged, EntryChange::kMoved}) {
    static constexpr const char* kKeys[] = {"only_in_a", "only_in_b", "different", "moved"};
    json.Key(kKeys[static_cast<int>(change)]);
    json.BeginArray();
    for (const EntryDifference& d : diff.entries) {
      if (d.change != change) continue;
      if (change == EntryChange::kOnlyInA || change == EntryChange::kOnlyInB) {
        JsonEntry(json, d.a ? *d.a : *d.b);
        continue;
      }
      json.BeginObject();
      json.Key("a"), JsonEntry(json, *d.a);
      json.Key("b"), JsonEntry(json, *d.b);
      if (change == EntryChange::kChanged) {
        json.Key("bytes_differing"), json.Number(static_cast<int64_t>(d.bytes_differing));
        if (d.cells_differing) {
          json.Key("cells_differing"), json.Number(static_cast<int64_t>(*d.cells_differing));
          json.Key("stitches_a"), json.Number(d.width_a);
          json.Key("rows_a"), json.Number(d.rows_a);
          json.Key("stitches_b"), json.Number(d.width_b);
          json.Key("rows_b"), json.Number(d.rows_b);
        }
      }
      json.EndObject();
    }
    json.EndArray();
  }
  json.Key("outside");
  json.BeginArray();
  for (const ByteRange& r : diff.outside) {
    json.BeginObject();
    json.Key("start"), json.Number(static_cast<int64_t>(r.start));
    json.Key("end"), json.Number(static_cast<int64_t>(r.end));
    json.Key("size"), json.Number(static_cast<int64_t>(r.end - r.start));
    json.Key("area"), json.String(ByteAreaText(r.area));
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  out << '\n';
}

}  // namespace

int DiffCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  Side a{parsed.positional[0], LoadVirtualModule(parsed.positional[0])};
  Side b{parsed.positional[1], LoadVirtualModule(parsed.positional[1])};
  const bool json = parsed.Has("--json");
  for (const Side* side : {&a, &b}) {
    const LoadedModule& m = side->module;
    if (m.ok()) continue;
    io.err << ModuleLoadMessage(m, side->path) << '\n';
    if (m.error != ModuleLoadError::kCorrupted) return kExitUsage;
    const Side& other = side == &a ? b : a;
    if (!json)
      io.err << "r7k diff: the bytes of " << side->path << " are compared"
             << (other.module.ok() ? " through the directory of " + other.path : " without entries")
             << '\n';
  }
  const ModuleDiff diff = DiffModules(a.module.image, a.directory(), b.module.image, b.directory());
  if (json)
    PrintJson(diff, a, b, io.out);
  else
    PrintText(diff, a, b, io.out);
  return diff.identical ? kExitOk : kExitFailure;
}

}  // namespace r7k::cli
