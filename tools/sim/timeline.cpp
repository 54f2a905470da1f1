#include "sim/timeline.hpp"

#include <cmath>
#include <cstdio>

namespace tavrino::sim {
namespace {

struct KindStyle {
  const char* name;
  const char* label;   // in readable lines
  const char* colour;  // ANSI SGR parameters
};

const KindStyle& styleOf(EntryKind kind) {
  static const KindStyle styles[] = {
      {"start", "start", "1"},
      {"host", "host", "1;36"},
      {"sdk", "sdk", "33"},
      {"step", "step", "2;33"},
      {"console", "console", "33"},
      {"screen", "screen", "35"},
      {"hit", "hit", "32"},
      {"store", "store", "2"},
      {"inbox", "inbox", "34"},
      {"hostMethod", "method", "36"},
      {"picture", "picture", "2;35"},
      {"warning", "warning", "1;31"},
      {"unsupported", "missing", "31"},
      {"log", "log", "2"},
      {"summary", "summary", "1"},
  };
  return styles[static_cast<int>(kind)];
}

}  // namespace

const char* kindName(EntryKind kind) {
  return styleOf(kind).name;
}

Timeline::Timeline(std::FILE* out, Style style) : out_(out), style_(style) {}

void Timeline::setStep(int step) {
  std::lock_guard lock(mu_);
  step_ = step;
}

int Timeline::step() const {
  std::lock_guard lock(mu_);
  return step_;
}

std::string Timeline::render(const Entry& entry, double seconds, int step) const {
  if (style_ == Style::json) {
    nlohmann::ordered_json line = {{"time", std::round(seconds * 1000) / 1000},
                                   {"step", step},
                                   {"kind", kindName(entry.kind)},
                                   {"text", entry.text}};
    for (const auto& [key, value] : entry.data.items()) line[key] = value;
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
  }
  const KindStyle& style = styleOf(entry.kind);
  char head[48];
  std::snprintf(head, sizeof head, "%7.2fs %-7s ", seconds, style.label);
  // Continuation lines of a multi-line text line up under its first.
  std::string body;
  for (char c : entry.text) {
    body += c;
    if (c == '\n') body += std::string(17, ' ');
  }
  if (style_ == Style::colour) {
    return std::string("\x1b[") + style.colour + "m" + head + body + "\x1b[0m\n";
  }
  return head + body + "\n";
}

void Timeline::emit(Entry entry) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  std::lock_guard lock(mu_);
  const std::string line = render(entry, seconds, step_);
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
  entries_.push_back(std::move(entry));
}

std::vector<Entry> Timeline::entries() const {
  std::lock_guard lock(mu_);
  return entries_;
}

}  // namespace tavrino::sim
