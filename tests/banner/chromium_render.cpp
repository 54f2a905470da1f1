#include "banner/chromium_render.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

extern char** environ;

namespace tavrino::testing {

std::optional<std::filesystem::path> findChromium() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::filesystem::path candidate = std::filesystem::path(dir) / "chromium";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

std::optional<std::string> renderDom(const std::filesystem::path& chromium,
                                     const std::filesystem::path& directory,
                                     const std::string& html, std::chrono::seconds limit) {
  static int serial = 0;
  const auto page = directory / ("page" + std::to_string(++serial) + ".html");
  std::ofstream(page, std::ios::binary) << html;
  const std::string profile = "--user-data-dir=" + (directory / "profile").string();
  const std::string url = "file://" + page.string();
  std::vector<std::string> args = {chromium.string(), "--headless", "--no-sandbox", "--disable-gpu",
                                   "--no-first-run",  profile,      "--dump-dom",   url};
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);  // its helpers join its group
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(out[1]);
  if (spawned != 0) {
    ::close(out[0]);
    return std::nullopt;
  }

  std::string dom;
  bool timed_out = false;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      break;
    }
    pollfd fd{out[0], POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    dom.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  if (timed_out) ::kill(-pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (timed_out || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return dom;
}

}  // namespace tavrino::testing
