#pragma once

// The simulator's timeline: one entry per thing that happened, printed as it
// happens, as readable lines (coloured on a terminal) or as JSON lines.
//
// Thread-safety: emit() may be called from any thread; each entry is printed
// whole.

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tavrino::sim {

// What an entry is about; the JSON "kind" is its name.
enum class EntryKind {
  start,        // where the run goes: service, output folder
  host,         // what the host did (a step)
  sdk,          // what the SDK decided, from its log
  step,         // a progress step the SDK recorded
  console,      // a line the SDK printed unconditionally
  screen,       // views that appeared, went or changed
  hit,          // a request the service received
  store,        // store entries the step changed
  inbox,        // the inbox as the host lists it
  hostMethod,   // a host method a campaign called
  picture,      // a picture of the screen was written
  warning,      // the step could not do what it says
  unsupported,  // the step needs what this build lacks
  log,          // any other SDK log line (--verbose)
  summary,      // the outcome
};

const char* kindName(EntryKind kind);

struct Entry {
  EntryKind kind;
  std::string text;
  // Extra members of the JSON line.
  nlohmann::ordered_json data = nlohmann::ordered_json::object();
};

class Timeline {
 public:
  enum class Style { plain, colour, json };

  Timeline(std::FILE* out, Style style);

  // The step the following entries belong to (0 before the first).
  void setStep(int step);
  int step() const;
  void emit(Entry entry);
  void emit(EntryKind kind, std::string text) { emit(Entry{kind, std::move(text)}); }

  // Every entry so far, in order.
  std::vector<Entry> entries() const;

 private:
  std::string render(const Entry& entry, double seconds, int step) const;

  std::FILE* out_;
  Style style_;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  mutable std::mutex mu_;
  int step_ = 0;
  std::vector<Entry> entries_;
};

}  // namespace tavrino::sim
