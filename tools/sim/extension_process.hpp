#pragma once

// Runs the notification extension program as a child process, as the
// platform starts one per incoming notification, and collects what it
// printed. The main loop keeps turning while the child runs: the
// application is alive meanwhile and may be asked for work.
//
// Thread-safety: main thread only.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tavrino::sim {

struct ChildOutcome {
  bool started = false;
  bool timedOut = false;  // killed after the limit
  int exitCode = -1;      // -1 when it did not exit normally
  std::string output;     // standard output and error, interleaved
};

// pump runs between polls (the main loop for a slice). The child inherits
// the environment with tmpdir as its TMPDIR (when not empty).
ChildOutcome runChild(const std::vector<std::string>& argv, const std::string& tmpdir,
                      std::chrono::seconds limit, const std::function<void()>& pump);

}  // namespace tavrino::sim
