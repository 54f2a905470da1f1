// tavrino-service: runs the reference tracking service in the foreground
// until SIGINT or SIGTERM, printing a line for every hit it receives.

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>

#include "service/service.hpp"

namespace {

int usage() {
  std::fprintf(
      stderr,
      "usage: tavrino-service [--listen ADDRESS[:PORT]] [--port N] [--scenario file.json]\n"
      "                       [--log hits.jsonl] [--quiet] [--remote-control]\n"
      "  --listen   IPv4 address to listen on (default 127.0.0.1; 0.0.0.0 for every\n"
      "             interface, so a device on the network can reach it)\n"
      "  --port     port to listen on (default 0: any free port)\n"
      "  --scenario what to answer (tools/service/README.md)\n"
      "  --log      append every hit to this file as a JSON line\n"
      "  --quiet    no line per hit on standard output\n"
      "  --remote-control\n"
      "             let other hosts use /_control/ with the token printed at start\n"
      "             (without it only loopback clients may)\n");
  return 2;
}

bool parsePort(const char* text, int* port) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > 65535) return false;
  *port = static_cast<int>(value);
  return true;
}

// 128 random bits as hex: what a client on another host sends as
// "X-Control-Token".
std::string controlToken() {
  std::random_device random;
  std::string token;
  for (int i = 0; i < 4; ++i) {
    char part[9];
    std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
    token += part;
  }
  return token;
}

// text with every byte but printable ASCII (and the backslash) written as
// "\xHH": what a client sent cannot move the cursor, clear the screen or
// forge a line.
std::string printable(std::string_view text) {
  std::string out;
  for (const unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    }
  }
  return out;
}

// "14:03:07 GET /d p=Home s=1234 ..."
std::string hitLine(const tavrino::service::RecordedRequest& hit) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char clock[16];
  std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
  std::string line = std::string(clock) + " " + printable(hit.method) + " " + printable(hit.path);
  for (const auto& [key, value] : hit.query) line += " " + printable(key) + "=" + printable(value);
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  std::string address = "127.0.0.1";
  std::string scenarioFile;
  std::string logFile;
  bool quiet = false;
  bool remoteControl = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      if (!parsePort(argv[++i], &port)) return usage();
    } else if (arg == "--listen" && i + 1 < argc) {
      address = argv[++i];
      if (const auto colon = address.find(':'); colon != std::string::npos) {
        if (!parsePort(address.c_str() + colon + 1, &port)) return usage();
        address.resize(colon);
      }
    } else if (arg == "--scenario" && i + 1 < argc) {
      scenarioFile = argv[++i];
    } else if (arg == "--log" && i + 1 < argc) {
      logFile = argv[++i];
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--remote-control") {
      remoteControl = true;
    } else {
      return usage();
    }
  }

  tavrino::service::Scenario scenario;
  if (!scenarioFile.empty()) {
    std::string error;
    auto loaded = tavrino::service::Scenario::load(scenarioFile, &error);
    if (!loaded) {
      std::fprintf(stderr, "tavrino-service: %s\n", printable(error).c_str());
      return 1;
    }
    scenario = std::move(*loaded);
  }
  auto log = std::make_shared<std::ofstream>();
  if (!logFile.empty()) {
    log->open(logFile, std::ios::app);
    if (!*log) {
      std::fprintf(stderr, "tavrino-service: cannot write %s\n", printable(logFile).c_str());
      return 1;
    }
  }

  // Block the stop signals before any thread starts so that only sigwait
  // below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  tavrino::service::Service service(std::move(scenario));
  // Image folders posted over the control endpoint stay inside the
  // scenario's folder (or the working directory).
  std::error_code ignored;
  if (!scenarioFile.empty()) {
    service.setControlRoot(std::filesystem::absolute(scenarioFile, ignored).parent_path());
  }
  const std::string token = remoteControl ? controlToken() : std::string();
  service.setRemoteControlToken(token);
  // Hits arrive on many worker threads; each is written whole.
  auto mu = std::make_shared<std::mutex>();
  service.setRequestObserver([log, mu, quiet](const tavrino::service::RecordedRequest& hit) {
    std::lock_guard lock(*mu);
    if (!quiet) {
      std::printf("%s\n", hitLine(hit).c_str());
      std::fflush(stdout);
    }
    // Recorded bodies may hold bytes that are not UTF-8.
    if (log->is_open()) {
      *log << hit.toJson().dump(-1, ' ', false, tavrino::service::Json::error_handler_t::replace)
           << std::endl;
    }
  });
  const std::string base = service.start(port, address);
  if (base.empty()) {
    std::fprintf(stderr, "tavrino-service: cannot listen on %s:%d\n", printable(address).c_str(),
                 port);
    return 1;
  }
  std::printf("tavrino-service listening on %s\n", base.c_str());
  if (!token.empty()) std::printf("tavrino-service control token: %s\n", token.c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  service.stop();
  service.setRequestObserver(nullptr);
  const auto stats = service.recordStats();
  std::printf("tavrino-service stopped (%zu requests served", stats.recorded + stats.dropped);
  if (stats.dropped > 0) std::printf(", %zu dropped from the record", stats.dropped);
  std::printf(")\n");
  return 0;
}
