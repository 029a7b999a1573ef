#include "sim/box_simulator.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "module/builtin_images.h"
#include "module/flash_chips.h"
#include "platform/serial_port.h"

namespace r7k {
namespace {

template <typename T>
std::optional<T> Number(const std::string& text) {
  T value{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool IsHex(const std::string& text) {
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// The command as a log line: printable text as is, other bytes as \xHH.
std::string Printable(const std::string& command) {
  std::string out;
  for (char c : command) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F && u != '\\') {
      out.push_back(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    }
  }
  return out;
}

}  // namespace

bool ParseBoxArguments(const std::vector<std::string>& args, BoxOptions* options,
                       std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    if (a == "--no-card") {
      options->box.card_present = false;
    } else if (a == "--pace") {
      options->pace = true;
    } else if (a == "--16bit") {
      options->box.sixteen_bit = true;
    } else if (a == "--image" || a == "--log" || a == "--chip" || a == "--baud" || a == "--fault" ||
               a == "--seed" || a == "--revision" || a == "--erase-ms") {
      std::optional<std::string> v = value();
      if (!v) return fail("Option " + a + " needs a value");
      if (a == "--image") {
        options->image = *v;
      } else if (a == "--log") {
        options->log = *v;
      } else if (a == "--chip") {
        if ((v->size() != 4 && v->size() != 6) || !IsHex(*v)) {
          return fail("--chip takes 4 or 6 hex digits (maker, device, sector-0 status), e.g. 20E2");
        }
        if (!FindFlashChip(std::string_view(*v).substr(0, 4)))
          return fail("--chip " + *v + ": no flash chip of the table has the code " +
                      v->substr(0, 4));
        options->box.chip = v->size() == 4 ? *v + "00" : *v;
        for (char& c : options->box.chip) c = char(std::toupper(static_cast<unsigned char>(c)));
      } else if (a == "--baud") {
        auto baud = Number<uint32_t>(*v);
        if (!baud || !IsStandardBaud(*baud)) return fail("Unsupported baud rate " + *v);
        options->baud = *baud;
      } else if (a == "--fault") {
        auto fault = ParseFault(*v, error);
        if (!fault) return false;
        options->faults.push_back(*fault);
      } else if (a == "--seed") {
        auto seed = Number<uint64_t>(*v);
        if (!seed) return fail("--seed takes a number");
        options->seed = *seed;
      } else if (a == "--revision") {
        auto rev = Number<int>(*v);
        if (!rev || *rev < 0 || *rev > 3) return fail("--revision takes 0, 1, 2 or 3");
        options->box.revision = *rev;
      } else {
        auto ms = Number<int>(*v);
        if (!ms || *ms < 0) return fail("--erase-ms takes a number of milliseconds");
        options->box.erase_ms = *ms;
      }
    } else {
      return fail("Unknown option " + a);
    }
  }
  return true;
}

std::unique_ptr<BoxSimulator> BoxSimulator::Start(BoxOptions options, std::string* error) {
  FlashImage flash;
  if (!options.contents.empty()) {
    auto given = FlashImage::FromBytes(options.contents);
    if (!given) {
      if (error) *error = "A module image has " + std::to_string(FlashImage::kSize) + " bytes";
      return nullptr;
    }
    flash = std::move(*given);
  } else {
    std::span<const uint8_t> demo = BuiltinImage("demo");
    if (auto built_in = FlashImage::FromBytes({demo.begin(), demo.end()}))
      flash = std::move(*built_in);
  }
  if (!options.image.empty()) {
    if (std::filesystem::exists(options.image)) {
      auto loaded = FlashImage::Load(options.image, error);
      if (!loaded) return nullptr;
      flash = std::move(*loaded);
    } else if (!flash.Save(options.image, error)) {
      // Created now, so a path that cannot be written is told at once, not at the first write.
      return nullptr;
    }
  }
  std::unique_ptr<BoxLine> line = OpenBoxLine(error);
  if (!line) return nullptr;
  std::unique_ptr<BoxSimulator> sim(
      new BoxSimulator(std::move(options), std::move(flash), std::move(line)));
  if (!sim->options_.log.empty() && !sim->log_) {
    if (error)
      *error = "Cannot write log " + sim->options_.log.string() + ": " + std::strerror(errno);
    return nullptr;
  }
  sim->thread_ = std::thread([s = sim.get()] { s->Serve(); });
  return sim;
}

BoxSimulator::BoxSimulator(BoxOptions options, FlashImage flash, std::unique_ptr<BoxLine> line)
    : options_(std::move(options)),
      line_(std::move(line)),
      port_name_(line_->PortName()),
      flash_(std::move(flash)),
      core_(options_.box, &flash_),
      plan_(options_.faults, options_.seed) {
  if (!options_.log.empty()) log_.open(options_.log, std::ios::app);
}

BoxSimulator::~BoxSimulator() { Stop(); }

void BoxSimulator::Stop() {
  line_->Wake();
  if (thread_.joinable()) thread_.join();
  finished_ = true;
}

uint64_t BoxSimulator::CommandsReceived() const {
  std::lock_guard lock(mutex_);
  return plan_.commands();
}

std::map<std::string, int> BoxSimulator::FaultCounts() const {
  std::lock_guard lock(mutex_);
  return plan_.counts();
}

std::vector<uint8_t> BoxSimulator::Flash() const {
  std::lock_guard lock(mutex_);
  return flash_.bytes();
}

void BoxSimulator::Serve() {
  constexpr int kSaveAfterIdleMs = 200;
  uint8_t buf[4096];
  while (!hung_up_) {
    const BoxLine::Wait wait = line_->WaitReadable(dirty_ ? kSaveAfterIdleMs : -1);
    if (wait == BoxLine::Wait::kWoken) break;
    if (wait == BoxLine::Wait::kTimeout) {
      SaveIfChanged();
      continue;
    }
    const size_t n = line_->Read(buf);
    if (n == 0) {
      // The program's end is held open here, so this is transient; do not spin on it.
      if (!Pause(10)) break;
      continue;
    }
    for (const std::string& command : splitter_.Feed(std::span(buf, n))) {
      Handle(command);
      if (hung_up_ || finished_) break;
    }
    if (finished_) break;
  }
  SaveIfChanged();
  finished_ = true;
}

void BoxSimulator::Handle(const std::string& command) {
  uint32_t host_baud = line_->HostBaud();
  if (options_.baud != 0 && host_baud != options_.baud) {
    // At another rate a real box receives only garbage: it neither acts nor answers.
    Log(command, "[ignored: host at " + std::to_string(host_baud) + " baud]");
    return;
  }
  Delivery d;
  {
    std::lock_guard lock(mutex_);
    BoxReply reply = core_.Execute(command);
    dirty_ = dirty_ || reply.flash_changed;
    d = plan_.Apply(std::move(reply));
  }
  std::string note;
  for (const std::string& f : d.fired) note += (note.empty() ? "[" : " ") + f;
  if (!note.empty()) note += "]";
  Log(command, note);
  if (!d.silent && !Send(d)) {
    finished_ = true;
    return;
  }
  if (d.hang_up_after) {
    SaveIfChanged();
    // Closing drops what the host has not read yet; let the answer reach the host's queue
    // (the pty moves it there a little later) and be read first.
    Pause(50);
    for (int i = 0; i < 100; ++i) {
      if (line_->UnreadByHost() == 0 || !Pause(10)) break;
    }
    line_->HangUp();
    hung_up_ = true;
    finished_ = true;
  }
}

bool BoxSimulator::Send(const Delivery& d) {
  uint32_t pace_baud = options_.pace ? (options_.baud ? options_.baud : line_->HostBaud()) : 0;
  // Cut points: the erase work and the gap, in order.
  size_t first = std::min(d.work_at, d.gap_ms > 0 ? d.gap_at : d.bytes.size());
  size_t second = std::max(d.work_at, d.gap_ms > 0 ? d.gap_at : d.bytes.size());
  first = std::min(first, d.bytes.size());
  second = std::min(second, d.bytes.size());
  std::string_view all = d.bytes;
  auto pause_at = [&](size_t at) {
    int ms = 0;
    if (at == d.work_at) ms += d.work_ms;
    if (d.gap_ms > 0 && at == d.gap_at) ms += d.gap_ms;
    return ms;
  };
  if (!SendBytes(all.substr(0, first), pace_baud) || !Pause(pause_at(first))) return false;
  if (second != first) {
    if (!SendBytes(all.substr(first, second - first), pace_baud) || !Pause(pause_at(second))) {
      return false;
    }
  }
  return SendBytes(all.substr(second), pace_baud);
}

bool BoxSimulator::SendBytes(std::string_view bytes, uint32_t pace_baud) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  // At a paced rate, send in slices of about 10 ms of line time, each no earlier than its last
  // byte would have been through the line.
  const size_t slice = pace_baud ? std::max<size_t>(1, pace_baud / 1000) : bytes.size();
  size_t sent = 0;
  while (sent < bytes.size()) {
    size_t want = std::min(slice, bytes.size() - sent);
    if (pace_baud) {
      auto due = start + std::chrono::microseconds(uint64_t(sent + want) * 10'000'000 / pace_baud);
      auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
      if (!Pause(int(wait.count()))) return false;
    }
    const long n =
        line_->Write(std::span(reinterpret_cast<const uint8_t*>(bytes.data()) + sent, want));
    if (n > 0) {
      sent += size_t(n);
    } else if (n == 0) {
      // The host's queue is full: wait for room.
      if (!line_->WaitWritable(10)) return false;
    } else {
      return true;  // the line is gone; nothing more to say
    }
  }
  return true;
}

bool BoxSimulator::Pause(int ms) { return line_->Sleep(ms); }

void BoxSimulator::SaveIfChanged() {
  std::lock_guard lock(mutex_);
  if (!dirty_ || options_.image.empty()) {
    dirty_ = false;
    return;
  }
  std::string error;
  if (!flash_.Save(options_.image, &error)) std::fprintf(stderr, "r7kbox: %s\n", error.c_str());
  dirty_ = false;
}

void BoxSimulator::Log(const std::string& command, const std::string& note) {
  if (!log_.is_open()) return;
  log_ << Printable(command);
  if (!note.empty()) log_ << ' ' << note;
  log_ << '\n' << std::flush;
}

}  // namespace r7k
