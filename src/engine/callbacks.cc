#include "engine/callbacks.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "support/edit_distance.h"

namespace r7k {
namespace {

// Registration happens on the dialog thread before any dialog runs; lookups happen on the same
// thread, so the tables need no lock.
std::map<std::string, FieldProc, std::less<>>& Callbacks() {
  static auto* table = new std::map<std::string, FieldProc, std::less<>>;
  return *table;
}
std::map<std::string, DialogProcedure, std::less<>>& Procedures() {
  static auto* table = new std::map<std::string, DialogProcedure, std::less<>>;
  return *table;
}

}  // namespace

void RegisterCallbacks(std::span<const CallbackEntry> entries) {
  for (const auto& e : entries) RegisterCallback(e.name, e.proc);
}

void RegisterProcedures(std::span<const ProcedureEntry> entries) {
  for (const auto& e : entries) RegisterProcedure(e.name, e.proc);
}

void RegisterCallback(std::string_view name, FieldProc proc) {
  Callbacks()[std::string(name)] = proc;
}

void RegisterProcedure(std::string_view name, DialogProcedure proc) {
  Procedures()[std::string(name)] = proc;
}

void ClearRegistrations() {
  Callbacks().clear();
  Procedures().clear();
}

FieldProc FindCallback(std::string_view name) {
  auto it = Callbacks().find(name);
  return it == Callbacks().end() ? nullptr : it->second;
}

DialogProcedure FindProcedure(std::string_view name) {
  auto it = Procedures().find(name);
  return it == Procedures().end() ? nullptr : it->second;
}

std::vector<std::string> RegisteredNames() {
  std::vector<std::string> names;
  for (const auto& [name, proc] : Callbacks()) names.push_back(name);
  for (const auto& [name, proc] : Procedures()) names.push_back(name);
  std::sort(names.begin(), names.end());
  return names;
}

std::string UnknownNameMessage(std::string_view kind, std::string_view name) {
  std::string message = "unknown " + std::string(kind) + " '" + std::string(name) + "'";
  const std::string* best = nullptr;
  std::size_t best_distance = std::max<std::size_t>(2, name.size() / 3) + 1;
  const auto names = RegisteredNames();
  for (const auto& candidate : names) {
    const std::size_t d = EditDistance(name, candidate, LetterCase::kIgnored);
    if (d < best_distance) {
      best_distance = d;
      best = &candidate;
    }
  }
  if (best) message += "; did you mean '" + *best + "'?";
  return message;
}

CallbackRef ParseCallbackRef(std::string_view text) {
  auto skip_blanks = [&] {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
      text.remove_prefix(1);
  };
  skip_blanks();
  if (!text.empty() && text.front() == '=') text.remove_prefix(1);
  skip_blanks();
  CallbackRef ref;
  std::size_t end = 0;
  while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
  ref.name = std::string(text.substr(0, end));
  text.remove_prefix(end);
  skip_blanks();
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  ref.parameter = std::string(text);
  return ref;
}

}  // namespace r7k
