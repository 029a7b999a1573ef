#include "sim/faults.h"

#include <charconv>

namespace r7k {
namespace {

struct FaultSyntax {
  std::string_view name;
  Fault::Kind kind;
};

constexpr FaultSyntax kSyntax[] = {
    {"silence-after", Fault::Kind::kSilenceAfter},
    {"drop-every", Fault::Kind::kDropEvery},
    {"drop-rate", Fault::Kind::kDropRate},
    {"corrupt-every", Fault::Kind::kCorruptEvery},
    {"gap-every", Fault::Kind::kGapEvery},
    {"line-error-every", Fault::Kind::kLineErrorEvery},
    {"slow-erase", Fault::Kind::kSlowErase},
    {"hangup-after", Fault::Kind::kHangupAfter},
};

template <typename T>
std::optional<T> Number(std::string_view text) {
  T value{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

const char* FaultName(Fault::Kind kind) {
  for (const auto& s : kSyntax) {
    if (s.kind == kind) return s.name.data();
  }
  return "?";
}

std::optional<Fault> ParseFault(std::string_view spec, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<Fault> {
    if (error) *error = "Bad fault \"" + std::string(spec) + "\": " + why;
    return std::nullopt;
  };
  size_t eq = spec.find('=');
  std::string_view name = spec.substr(0, eq);
  std::string_view value = eq == std::string_view::npos ? std::string_view() : spec.substr(eq + 1);
  const FaultSyntax* syntax = nullptr;
  for (const auto& s : kSyntax) {
    if (s.name == name) syntax = &s;
  }
  if (!syntax) return fail("unknown fault");
  Fault f{syntax->kind};
  switch (f.kind) {
    case Fault::Kind::kDropRate: {
      auto rate = Number<double>(value);
      if (!rate || *rate < 0 || *rate > 1) return fail("the rate must be between 0 and 1");
      f.rate = *rate;
      return f;
    }
    case Fault::Kind::kSlowErase: {
      f.ms = 61000;
      if (value.empty()) return f;
      auto ms = Number<int>(value);
      if (!ms || *ms < 0) return fail("the time must be a number of milliseconds");
      f.ms = *ms;
      return f;
    }
    case Fault::Kind::kGapEvery: {
      size_t colon = value.find(':');
      f.ms = 1500;
      if (colon != std::string_view::npos) {
        auto ms = Number<int>(value.substr(colon + 1));
        if (!ms || *ms < 0 || *ms >= 2000) return fail("a gap lasts under 2000 ms");
        f.ms = *ms;
        value = value.substr(0, colon);
      }
      break;
    }
    default: break;
  }
  auto n = Number<uint32_t>(value);
  bool zero_allowed = f.kind == Fault::Kind::kSilenceAfter || f.kind == Fault::Kind::kHangupAfter;
  if (!n || (*n == 0 && !zero_allowed))
    return fail("a count is needed, e.g. " + std::string(name) + "=3");
  f.n = *n;
  return f;
}

Delivery FaultPlan::Apply(BoxReply reply) {
  ++commands_;
  Delivery d;
  d.bytes = std::move(reply.bytes);
  d.work_at = reply.work_at;
  d.work_ms = reply.work_ms;
  auto fire = [&](Fault::Kind kind) {
    d.fired.push_back(FaultName(kind));
    ++counts_[FaultName(kind)];
  };
  auto every = [&](uint32_t n) { return n > 0 && commands_ % n == 0; };
  for (const Fault& f : faults_) {
    switch (f.kind) {
      case Fault::Kind::kSilenceAfter:
        if (commands_ > f.n) {
          d.silent = true;
          fire(f.kind);
        }
        break;
      case Fault::Kind::kDropEvery:
        if (every(f.n)) {
          d.silent = true;
          fire(f.kind);
        }
        break;
      case Fault::Kind::kDropRate:
        // Drawn for every answer, so the sequence does not depend on other faults.
        if (double(Random(1000000)) < f.rate * 1000000) {
          d.silent = true;
          fire(f.kind);
        }
        break;
      case Fault::Kind::kCorruptEvery:
        if (every(f.n) && d.bytes.size() > 1) {
          // Never the final prompt: the host sees a complete but wrong answer.
          size_t at = Random(d.bytes.size() - 1);
          d.bytes[at] = char(uint8_t(d.bytes[at]) ^ uint8_t(1u << Random(8)));
          fire(f.kind);
        }
        break;
      case Fault::Kind::kGapEvery:
        if (every(f.n) && d.bytes.size() > 1) {
          d.gap_at = 1 + Random(d.bytes.size() - 1);
          d.gap_ms = f.ms;
          fire(f.kind);
        }
        break;
      case Fault::Kind::kLineErrorEvery:
        if (every(f.n) && !d.bytes.empty()) {
          size_t at = Random(d.bytes.size());
          d.bytes.resize(at + 1);
          d.bytes[at] = char(uint8_t(d.bytes[at]) ^ 0x55);
          fire(f.kind);
        }
        break;
      case Fault::Kind::kSlowErase:
        if (reply.is_erase && reply.work_ms > 0) {
          d.work_ms = f.ms;
          fire(f.kind);
        }
        break;
      case Fault::Kind::kHangupAfter:
        if (commands_ >= f.n) {
          d.hang_up_after = true;
          if (commands_ > f.n) d.silent = true;
          fire(f.kind);
        }
        break;
    }
  }
  if (d.work_at > d.bytes.size()) d.work_at = d.bytes.size();
  return d;
}

}  // namespace r7k
