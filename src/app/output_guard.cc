#include "app/output_guard.h"

#include "module/address.h"
#include "support/ascii.h"

namespace r7k {

std::string UserFileKind(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return {};
  const std::string extension = AsciiLower(path.extension().string());
  if (extension == ".r7k" || extension == ".cut") return "an entity file";
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (extension == ".r7v" || (!ec && IsImageSize(static_cast<size_t>(size))))
    return "a virtual module";
  return {};
}

std::optional<OutputRefusal> CheckOutputPath(const std::filesystem::path& output,
                                             std::span<const std::filesystem::path> inputs,
                                             bool replace) {
  auto refuse = [](OutputRefusalKind kind, std::string text) {
    return std::optional<OutputRefusal>(OutputRefusal{kind, std::move(text)});
  };
  if (output.empty()) return refuse(OutputRefusalKind::kEmpty, "no output file name");
  const std::string name = output.string();
  std::error_code ec;
  for (const auto& input : inputs)
    if (std::filesystem::equivalent(output, input, ec))
      return refuse(OutputRefusalKind::kInput, name + " is one of the files being read");
  if (std::filesystem::is_directory(output, ec))
    return refuse(OutputRefusalKind::kFolder, name + " is a folder");
  if (const std::string kind = UserFileKind(output); !kind.empty() && !replace)
    return refuse(OutputRefusalKind::kUserFile, name + " exists and is " + kind);
  return std::nullopt;
}

}  // namespace r7k
