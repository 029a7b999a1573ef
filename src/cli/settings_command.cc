#include <array>
#include <charconv>
#include <optional>
#include <string>

#include "app/settings.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "link/link_thread.h"
#include "platform/config_files.h"
#include "support/ascii.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--json", "", "", "print the settings as one object (missing values are null)"},
};

constexpr CommandUsage kUsage = {
    "settings",
    "[NAME=VALUE ...]",
    "Shows the saved settings of the desktop program, or changes them first:\n"
    "Port1 (the box's port, e.g. ttyUSB0 or sim), ModuleFile, Palette, ShowPrintDialog (0 or 1),\n"
    "Verify (0 or 1: Upload reads twice and Download reads back) and BaudRate (of R7kProg.ini).\n"
    "An empty VALUE clears a value. Nothing is written when one of the assignments is wrong.",
    kOptions,
    0,
    true};

// A value of the registry's settings key, or (in_registry false) of the profile "R7kProg.ini".
struct Setting {
  const char* name;
  bool in_registry;
  std::string_view section;
};

constexpr std::array kSettings = {
    Setting{"Port1", true, kSettingsKey},   Setting{"ModuleFile", true, kSettingsKey},
    Setting{"Palette", true, kSettingsKey}, Setting{"ShowPrintDialog", true, kSettingsKey},
    Setting{"Verify", true, kSettingsKey},  Setting{"BaudRate", false, "Options"},
};

std::optional<std::string> Load(const Setting& s) {
  return s.in_registry ? RegistryGetString(s.section, s.name)
                       : ReadProfileValue(kProfileFile, s.section, s.name);
}

const Setting* FindSetting(std::string_view name) {
  for (const Setting& s : kSettings)
    if (EqualsIgnoringCase(s.name, name)) return &s;
  return nullptr;
}

// A rate the box speaks: one of the two pairs the link switches between.
bool IsBoxBaudRate(std::string_view text) {
  uint32_t rate = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), rate);
  return ec == std::errc() && end == text.data() + text.size() && PartnerBaudRate(rate);
}

// Why the value cannot be saved, or empty when it can.
std::string Refusal(const Setting& s, std::string_view value) {
  const std::string_view name = s.name;
  if (HasControlCharacter(value)) return "control characters such as a line break cannot be saved";
  if (name == "Port1" && value.size() >= 8) return "a port name has fewer than 8 characters";
  if (name == "ShowPrintDialog" && value != "0" && value != "1") return "use 0 or 1";
  if (name == "Verify" && !value.empty() && value != "0" && value != "1") return "use 0 or 1";
  if (name == "BaudRate" && !value.empty() && !IsBoxBaudRate(value))
    return "the box speaks 57600, 115200, 460800 or 921600 (empty: the port's default)";
  return {};
}

bool Save(const Setting& s, const std::string& value, std::string* error) {
  if (!(s.in_registry ? RegistrySetString(s.section, s.name, value, error)
                      : WriteProfileString(kProfileFile, s.section, s.name, value, error)))
    return false;
  // The window printer follows the print-dialog option, as the program does at its end.
  if (std::string_view(s.name) == "ShowPrintDialog")
    return value == "1" ? RegistrySetString(kPagecastKey, kFlagsValue, kFlagsPrintDialog, error)
                        : RegistryDeleteValue(kPagecastKey, kFlagsValue, error);
  return true;
}

}  // namespace

int SettingsCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;

  std::vector<std::pair<const Setting*, std::string>> changes;
  for (const std::string& assignment : parsed.positional) {
    const auto eq = assignment.find('=');
    const Setting* s = eq == std::string::npos ? nullptr : FindSetting(assignment.substr(0, eq));
    if (!s) {
      io.err << "r7k settings: '" << assignment
             << "' is not NAME=VALUE with NAME one of Port1, ModuleFile, Palette, "
                "ShowPrintDialog, Verify, BaudRate\n";
      return kExitUsage;
    }
    std::string value = assignment.substr(eq + 1);
    if (std::string_view(s->name) == "Port1") value = PortName(value);
    if (const std::string why = Refusal(*s, value); !why.empty()) {
      io.err << "r7k settings: " << s->name << "=" << PrintableText(value) << ": " << why << '\n';
      return kExitUsage;
    }
    changes.emplace_back(s, value);
  }
  for (const auto& [s, value] : changes) {
    std::string error;
    if (!Save(*s, value, &error)) {
      io.err << "r7k settings: " << error << '\n';
      return kExitFailure;
    }
  }

  if (parsed.Has("--json")) {
    JsonWriter json(io.out);
    json.BeginObject();
    for (const Setting& s : kSettings) {
      json.Key(s.name);
      if (auto value = Load(s))
        json.String(*value);
      else
        json.Null();
    }
    json.EndObject();
    io.out << '\n';
    return kExitOk;
  }
  io.out << "Settings in " << RegistryLocation(kSettingsKey) << " and "
         << ProfilePath(kProfileFile).string() << ":\n";
  for (const Setting& s : kSettings) {
    const auto value = Load(s);
    io.out << "  " << s.name << "=" << value.value_or("") << (value ? "" : "  (not set)") << '\n';
  }
  return kExitOk;
}

}  // namespace r7k::cli
