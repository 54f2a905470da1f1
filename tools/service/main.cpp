// tavrino-service: runs the reference tracking service in the foreground
// until SIGINT or SIGTERM.

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "service/service.hpp"

namespace {

int usage() {
  std::fprintf(stderr, "usage: tavrino-service [--port N] [--scenario file.json]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  std::string scenarioFile;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      char* end = nullptr;
      const long value = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || value < 0 || value > 65535) return usage();
      port = static_cast<int>(value);
    } else if (arg == "--scenario" && i + 1 < argc) {
      scenarioFile = argv[++i];
    } else {
      return usage();
    }
  }

  tavrino::service::Scenario scenario;
  if (!scenarioFile.empty()) {
    std::string error;
    auto loaded = tavrino::service::Scenario::load(scenarioFile, &error);
    if (!loaded) {
      std::fprintf(stderr, "tavrino-service: %s\n", error.c_str());
      return 1;
    }
    scenario = std::move(*loaded);
  }

  // Block the stop signals before any thread starts so that only sigwait
  // below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  tavrino::service::Service service(std::move(scenario));
  const std::string base = service.start(port);
  if (base.empty()) {
    std::fprintf(stderr, "tavrino-service: cannot listen on port %d\n", port);
    return 1;
  }
  std::printf("tavrino-service listening on %s\n", base.c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  service.stop();
  std::printf("tavrino-service stopped (%d requests served)\n",
              static_cast<int>(service.requests().size()));
  return 0;
}
