#include "platform/registry.h"

#include "platform/config_files.h"

namespace r7k {

std::optional<std::string> RegistryGetString(std::string_view key, std::string_view value) {
  return ReadProfileValue(kRegistryFile, key, value);
}

bool RegistrySetString(std::string_view key, std::string_view value, std::string_view text,
                       std::string* error) {
  return WriteProfileString(kRegistryFile, key, value, text, error);
}

bool RegistryDeleteValue(std::string_view key, std::string_view value, std::string* error) {
  return DeleteProfileValue(kRegistryFile, key, value, error);
}

std::string RegistryLocation(std::string_view key) {
  return (ConfigFolder() / kRegistryFile).string() + " [" + std::string(key) + "]";
}

ScratchRegistry::ScratchRegistry() = default;
ScratchRegistry::~ScratchRegistry() = default;

}  // namespace r7k
