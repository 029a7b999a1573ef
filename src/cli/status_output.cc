#include "cli/status_output.h"

#include <algorithm>
#include <cstdio>

namespace r7k::cli {

std::string PrintableBytes(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '\\') {
      text += "\\\\";
    } else if (byte >= 0x20 && byte < 0x7F) {
      text += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      text += hex;
    }
  }
  return text;
}

std::string FormatProgress(const ProgressFigures& f, int bar_width) {
  std::string line(f.operation);
  if (bar_width > 0) {
    const double share =
        f.commands_total ? std::min(1.0, double(f.commands_done) / f.commands_total) : 0.0;
    const int full = static_cast<int>(share * bar_width);
    line += " [" + std::string(full, '#') + std::string(bar_width - full, '-') + "] ";
  } else {
    line += ": ";
  }
  char text[160];
  std::snprintf(text, sizeof text, "%u/%u commands, ", f.commands_done, f.commands_total);
  line += text;
  // An erase moves no module bytes: commands and time say it all.
  if (f.bytes_total == 0) {
    std::snprintf(text, sizeof text, "%.1f s", f.seconds);
    return line.substr(0, line.size() - 2) + ", " + text;
  }
  if (bar_width > 0) {
    std::snprintf(text, sizeof text, "%llu/%llu KiB", (unsigned long long)(f.bytes_done / 1024),
                  (unsigned long long)(f.bytes_total / 1024));
  } else {
    std::snprintf(text, sizeof text, "%llu/%llu bytes", (unsigned long long)f.bytes_done,
                  (unsigned long long)f.bytes_total);
  }
  line += text;
  std::snprintf(text, sizeof text, ", %.1f s", f.seconds);
  line += text;
  // A rate over the first moments says nothing.
  if (f.seconds >= 0.1) {
    std::snprintf(text, sizeof text, ", %.1f KiB/s", f.bytes_done / 1024.0 / f.seconds);
    line += text;
  }
  return line;
}

void StatusOutput::Line(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (bar_shown_) err_ << "\r\033[K";
  err_ << text << '\n';
  err_.flush();
  bar_shown_ = false;  // redrawn with the next progress
}

void StatusOutput::Progress(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (terminal_) {
    err_ << '\r' << text << "\033[K";
    bar_shown_ = true;
  } else {
    err_ << text << '\n';
  }
  err_.flush();
}

void StatusOutput::EndProgress() {
  std::lock_guard lock(mutex_);
  if (bar_shown_) err_ << '\n';
  err_.flush();
  bar_shown_ = false;
}

void ProgressRenderer::Update(std::string_view operation, uint32_t commands_done,
                              uint32_t commands_total, uint64_t bytes_done, uint64_t bytes_total,
                              bool finished, Clock::time_point now) {
  if (operation != operation_ || !last_shown_) {
    operation_ = std::string(operation);
    started_ = now;
    last_shown_.reset();
  }
  const auto every =
      out_.terminal() ? Clock::duration(kTerminalEvery) : Clock::duration(kPlainEvery);
  if (!finished && last_shown_ && now - *last_shown_ < every) return;
  last_shown_ = now;
  const ProgressFigures figures{
      operation_, commands_done, commands_total,
      bytes_done, bytes_total,   std::chrono::duration<double>(now - started_).count()};
  out_.Progress(FormatProgress(figures, out_.terminal() ? 30 : 0));
  if (finished) {
    out_.EndProgress();
    operation_.clear();
    last_shown_.reset();
  }
}

}  // namespace r7k::cli
