#include "cli/command.h"

#include <algorithm>

namespace r7k::cli {
namespace {

bool OptionalValue(const OptionSpec& o) { return o.value.size() > 2 && o.value.front() == '['; }

// The placeholder of the i-th argument in the usage line ("MODULE" of "MODULE NAME"), for
// messages; the last one stands for any further arguments.
std::string ArgumentName(std::string_view arguments, size_t i) {
  std::vector<std::string> words;
  for (size_t at = 0; at < arguments.size();) {
    const size_t end = std::min(arguments.find(' ', at), arguments.size());
    std::string word(arguments.substr(at, end - at));
    std::erase_if(word, [](char c) { return c == '[' || c == ']'; });
    if (!word.empty() && word != "...") words.push_back(word);
    at = end + 1;
  }
  if (words.empty()) return "an";
  return "the " + words[std::min(i, words.size() - 1)];
}

}  // namespace

std::string ParsedArgs::Value(std::string_view name) const {
  const auto it = options.find(name);
  return it == options.end() ? std::string() : it->second;
}

void PrintUsage(const CommandUsage& usage, std::ostream& out) {
  out << "Usage: r7k " << usage.name;
  if (!usage.options.empty()) out << " [options]";
  if (!usage.arguments.empty()) out << ' ' << usage.arguments;
  out << "\n\n" << usage.description << "\n\nOptions:\n";
  auto line = [&](std::string left, std::string_view help) {
    left.resize(std::max<size_t>(left.size() + 2, 24), ' ');
    out << "  " << left << help << '\n';
  };
  for (const OptionSpec& o : usage.options) {
    std::string left =
        o.alias.empty() ? std::string(o.name) : std::string(o.alias) + ", " + std::string(o.name);
    if (OptionalValue(o)) {
      left += "[=" + std::string(o.value.substr(1, o.value.size() - 2)) + "]";
    } else if (!o.value.empty()) {
      left += ' ' + std::string(o.value);
    }
    line(left, o.help);
  }
  line("-h, --help", "show this help");
}

bool ParseCommandArgs(std::span<const std::string> args, const CommandUsage& usage, CommandIo& io,
                      ParsedArgs& parsed, int& status) {
  auto fail = [&](const std::string& message) {
    io.err << "r7k " << usage.name << ": " << message << "\nRun 'r7k " << usage.name
           << " --help' for usage.\n";
    status = kExitUsage;
    return false;
  };
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg.size() < 2 || arg[0] != '-') {
      // An empty path or name would only fail later, and less clearly.
      if (arg.empty())
        return fail(ArgumentName(usage.arguments, parsed.positional.size()) + " argument is empty");
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      PrintUsage(usage, io.out);
      parsed.help = true;
      status = kExitOk;
      return false;
    }
    // "--name=value" and "--name value" are both accepted for options with a value.
    std::string name = arg;
    std::string value;
    bool inline_value = false;
    if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      inline_value = true;
    }
    const auto spec =
        std::find_if(usage.options.begin(), usage.options.end(),
                     [&](const OptionSpec& o) { return o.name == name || o.alias == name; });
    if (spec == usage.options.end()) return fail("unknown option '" + name + "'");
    if (OptionalValue(*spec)) {
      // Only "--name=value" gives the value: the next argument stays an argument.
    } else if (spec->value.empty()) {
      if (inline_value) return fail("option '" + std::string(spec->name) + "' takes no value");
    } else if (!inline_value) {
      if (i + 1 >= args.size()) return fail("option '" + name + "' needs a value");
      value = args[++i];
    }
    if (value.empty() && !spec->value.empty() && (inline_value || !OptionalValue(*spec)))
      return fail("the value of '" + std::string(spec->name) + "' is empty");
    parsed.options[std::string(spec->name)] = value;
  }
  if (parsed.positional.size() < usage.positional ||
      (parsed.positional.size() > usage.positional && !usage.more_positional)) {
    return fail(parsed.positional.size() < usage.positional ? "missing argument"
                                                            : "too many arguments");
  }
  return true;
}

}  // namespace r7k::cli
