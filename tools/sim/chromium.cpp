// PNG screenshots of the pictures with headless Chromium.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "sim/picture.hpp"

extern char** environ;

namespace tavrino::sim {

std::optional<std::filesystem::path> findChromium() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    if (dir.empty()) continue;
    for (const char* name : {"chromium", "chromium-browser"}) {
      const std::filesystem::path candidate = std::filesystem::path(dir) / name;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
  }
  return std::nullopt;
}

bool screenshot(const std::filesystem::path& chromium, const std::filesystem::path& html,
                const std::filesystem::path& png, int width, int height,
                const std::filesystem::path& profile, std::chrono::seconds timeout) {
  std::error_code ignored;
  std::filesystem::remove(png, ignored);
  // timeout kills the browser with its helper processes once the limit
  // passes; arguments go straight to exec, never through a shell.
  std::vector<std::string> args = {
      "timeout",
      "-s",
      "KILL",
      std::to_string(timeout.count()),
      chromium.string(),
      "--headless",
      "--no-sandbox",
      "--disable-gpu",
      "--no-first-run",
      "--hide-scrollbars",
      "--virtual-time-budget=3000",
      "--user-data-dir=" + profile.string(),
      "--screenshot=" + png.string(),
      "--window-size=" + std::to_string(width) + "," + std::to_string(height),
      "file://" + std::filesystem::absolute(html).string(),
  };
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, "timeout", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
         std::filesystem::file_size(png, ignored) > 0 && !ignored;
}

}  // namespace tavrino::sim
