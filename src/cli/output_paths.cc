#include "app/output_guard.h"
#include "cli/commands.h"

namespace r7k::cli {

std::optional<int> RefuseOutput(const std::filesystem::path& output,
                                std::span<const std::filesystem::path> inputs, bool yes,
                                std::string_view command, CommandIo& io) {
  const auto refusal = CheckOutputPath(output, inputs, yes);
  if (!refusal) return std::nullopt;
  io.err << "r7k " << command << ": " << refusal->text;
  if (refusal->kind == OutputRefusalKind::kUserFile) {
    io.err << "; --yes replaces it\n";
    return kExitFailure;
  }
  io.err << "; nothing written\n";
  return kExitUsage;
}

}  // namespace r7k::cli
