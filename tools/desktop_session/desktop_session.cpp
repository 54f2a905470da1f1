#include "desktop_session/desktop_session.hpp"

#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tavrino::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text, bool executable = false) {
  std::ofstream(path) << text;
  if (executable) fs::permissions(path, fs::perms::owner_all);
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

void stop(std::unique_ptr<HelperProcess>& daemon) {
  if (daemon) daemon->signal(SIGTERM);
  daemon.reset();
}

// A bus that knows only an empty service folder, so nothing system-wide
// (accessibility, portals, settings) is ever activated.
std::string busConfig(const fs::path& socket, const fs::path& services) {
  return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
         " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig>\n"
         "  <type>session</type>\n"
         "  <listen>unix:path=" +
         socket.string() +
         "</listen>\n"
         "  <auth>EXTERNAL</auth>\n"
         "  <servicedir>" +
         services.string() +
         "</servicedir>\n"
         "  <policy context=\"default\">\n"
         "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
         "    <allow eavesdrop=\"true\"/>\n"
         "    <allow own=\"*\"/>\n"
         "  </policy>\n"
         "</busconfig>\n";
}

}  // namespace

DesktopSession::DesktopSession(bool withNotificationServer) {
  try {
    for (const char* name : {"home", "cache", "data", "config", "runtime", "services"}) {
      fs::create_directory(root() / name);
    }
    fs::permissions(root() / "runtime", fs::perms::owner_all);
    setEnvironment("HOME", root() / "home");
    setEnvironment("XDG_CACHE_HOME", root() / "cache");
    setEnvironment("XDG_DATA_HOME", dataHome());
    setEnvironment("XDG_CONFIG_HOME", configHome());
    setEnvironment("XDG_RUNTIME_DIR", root() / "runtime");
    setEnvironment("GTK_A11Y", "none");
    setEnvironment("NO_AT_BRIDGE", "1");
    setEnvironment("GSETTINGS_BACKEND", "memory");

    // The server picks a free display itself and prints it once it accepts
    // connections, so parallel tests never race for a number.
    xServer_ = std::make_unique<HelperProcess>(
        "/usr/bin/Xvfb",
        std::vector<std::string>{"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten",
                                 "tcp"},
        false, true);
    const auto number = xServer_->readLine(20s);
    if (!number) throw std::runtime_error("Xvfb did not start: " + xServer_->errors());
    display_ = ":" + *number;
    setEnvironment("DISPLAY", display_);

    writeFile(root() / "bus.conf", busConfig(root() / "runtime" / "bus", root() / "services"));
    bus_ = std::make_unique<HelperProcess>(
        "/usr/bin/dbus-daemon",
        std::vector<std::string>{"--config-file=" + (root() / "bus.conf").string(), "--nofork",
                                 "--print-address=1"},
        false, true);
    const auto address = bus_->readLine(10s);
    if (!address) throw std::runtime_error("dbus-daemon did not start: " + bus_->errors());
    busAddress_ = *address;
    setEnvironment("DBUS_SESSION_BUS_ADDRESS", busAddress_);

    if (withNotificationServer) startNotificationServer();
  } catch (...) {
    end();
    throw;
  }
}

DesktopSession::~DesktopSession() {
  end();
}

void DesktopSession::end() {
  stop(notificationServer_);
  stop(bus_);
  stop(xServer_);
  for (auto it = savedEnvironment_.rbegin(); it != savedEnvironment_.rend(); ++it) {
    if (it->second) {
      setenv(it->first.c_str(), it->second->c_str(), 1);
    } else {
      unsetenv(it->first.c_str());
    }
  }
  savedEnvironment_.clear();
}

void DesktopSession::setEnvironment(const char* name, const std::string& value) {
  const char* previous = getenv(name);
  savedEnvironment_.emplace_back(name,
                                 previous ? std::optional<std::string>(previous) : std::nullopt);
  setenv(name, value.c_str(), 1);
}

void DesktopSession::startNotificationServer() {
  const fs::path dir = root() / "notifications";
  fs::create_directory(dir);
  // Fields and records are split by the ASCII unit and record separators, so
  // texts with newlines survive.
  writeFile(dir / "record.sh",
            "#!/bin/sh\n"
            "printf '%s\\037%s\\037%s\\037%s\\036' \"$DUNST_ID\" \"$DUNST_SUMMARY\" "
            "\"$DUNST_BODY\" \"$DUNST_ICON_PATH\" >> '" +
                (dir / "arrived").string() + "'\n",
            true);
  // The menu runs after the request that opens it has returned: its offer
  // appears whole, by a rename, once it has been read.
  const std::string offered = "'" + (dir / "offered").string() + "'";
  writeFile(dir / "menu.sh",
            "#!/bin/sh\ncat > " + offered + ".part\ngrep -F -m1 -- \"$(cat '" +
                (dir / "choice").string() + "')\" " + offered + ".part\nmv " + offered + ".part " +
                offered + "\n",
            true);
  // No time-outs: a notification stays until the test acts on it.
  writeFile(dir / "dunstrc",
            "[global]\n"
            "    dmenu = " +
                (dir / "menu.sh").string() +
                "\n"
                "    idle_threshold = 0\n"
                "[urgency_low]\n    timeout = 0\n"
                "[urgency_normal]\n    timeout = 0\n"
                "[urgency_critical]\n    timeout = 0\n"
                "[record]\n"
                "    summary = \"*\"\n"
                "    script = " +
                (dir / "record.sh").string() + "\n");
  notificationServer_ = std::make_unique<HelperProcess>(
      "/usr/bin/dunst", std::vector<std::string>{"-config", (dir / "dunstrc").string()}, false,
      true);
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!dunstctl({"is-paused"})) {
    if (std::chrono::steady_clock::now() > deadline) {
      throw std::runtime_error("dunst did not start: " + notificationServer_->errors());
    }
    std::this_thread::sleep_for(50ms);
  }
}

bool DesktopSession::dunstctl(const std::vector<std::string>& args) {
  return runProgram("/usr/bin/dunstctl", args, 10s).exitCode == 0;
}

std::vector<ArrivedNotification> DesktopSession::arrived(std::size_t count,
                                                         std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    std::string text = readFile(root() / "notifications" / "arrived");
    // A record still being written is left for the next look.
    const auto complete = text.find_last_of('\036');
    text.resize(complete == std::string::npos ? 0 : complete);
    std::vector<ArrivedNotification> notifications;
    for (const std::string& record : split(text, '\036')) {
      auto fields = split(record, '\037');
      fields.resize(4);
      notifications.push_back({fields[0], fields[1], fields[2], fields[3]});
    }
    if (notifications.size() >= count || std::chrono::steady_clock::now() > deadline) {
      return notifications;
    }
    std::this_thread::sleep_for(50ms);
  }
}

std::vector<std::string> DesktopSession::invokeAction(const std::string& choice) {
  const fs::path dir = root() / "notifications";
  writeFile(dir / "choice", choice);
  fs::remove(dir / "offered");
  if (!dunstctl({"context"})) return {};
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!fs::exists(dir / "offered") && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  return split(readFile(dir / "offered"), '\n');
}

bool DesktopSession::closeNotification() {
  return dunstctl({"close"});
}

}  // namespace tavrino::testing
