#include "banner/chromium_render.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tavrino::testing {

std::optional<std::filesystem::path> findChromium() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
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
  // timeout runs chromium in its own process group and kills the whole group,
  // helpers included, once the limit passes.
  const std::string command =
      "timeout -s KILL " + std::to_string(limit.count()) + " '" + chromium.string() +
      "' --headless --no-sandbox --disable-gpu --no-first-run "
      "'--user-data-dir=" +
      (directory / "profile").string() + "' --dump-dom 'file://" + page.string() + "' 2>/dev/null";
  FILE* out = ::popen(command.c_str(), "r");
  if (!out) return std::nullopt;
  std::string dom;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;) dom.append(buffer, n);
  const int status = ::pclose(out);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return dom;
}

}  // namespace tavrino::testing
