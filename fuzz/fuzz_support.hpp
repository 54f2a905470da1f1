#pragma once

// Shared by the fuzz targets: failing loudly, a quiet platform kept off the
// network, and text-shaped inputs (lines with escapes, so that a seed can
// spell "\n", "\r", "\t", "\0", "\\" and "\xHH"; stored values spelled in text).

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "tavrino/platform/linux.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/value.hpp"

namespace tavrino::fuzz {

[[noreturn]] inline void fail(const std::string& what) {
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::abort();
}

inline void require(bool holds, std::string_view what) {
  if (!holds) fail(std::string(what));
}

// Nothing that could break a request line: no control byte, blank or byte
// outside ASCII.
inline void requireWireSafe(std::string_view text) {
  for (const unsigned char c : text)
    require(c > 0x20 && c < 0x7f, "raw byte in " + std::string(text));
}

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

inline Value jsonObject(const std::uint8_t* data, std::size_t size) {
  return Util::parseJSONObject(Data(data, data + size));
}

// Addresses checked by the real parser; every transfer fails at once and
// nothing downloads. Subclasses may let some through the real session.
class OfflineSession : public platform::URLSession {
 public:
  explicit OfflineSession(platform::URLSession& real) : real_(real) {}
  void dataTask(platform::URLRequest, platform::DataTaskCompletion completion) override {
    completion(std::nullopt, std::nullopt, platform::URLError{7, "offline"});
  }
  bool formsURL(std::string_view text) const override { return real_.formsURL(text); }
  std::optional<Data> contentsOf(std::string_view, std::chrono::milliseconds) override {
    return std::nullopt;
  }

 protected:
  platform::URLSession& real_;
};

// A Linux platform whose log drops every line (fuzzing would drown in them)
// and whose transfers go through Session, wrapping the real session.
template <typename Session>
class QuietPlatform final : public platform::PlatformWrapper, platform::Log {
 public:
  explicit QuietPlatform(const std::filesystem::path& data)
      : PlatformWrapper(platform::makeLinuxPlatform({.dataDirectory = data, .clock = nullptr})),
        session_(target().urlSession()) {}
  // Background work still uses the session and the log: finish it while
  // they exist.
  ~QuietPlatform() override { shutdown(); }
  platform::Log& log() override { return *this; }
  void log(std::string_view) override {}
  void console(std::string_view) override {}
  platform::URLSession& urlSession() override { return session_; }

 private:
  Session session_;
};

inline std::filesystem::path temporaryDirectory() {
  std::string dir = (std::filesystem::temp_directory_path() / "tavrino-fuzz-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) std::abort();
  return dir;
}

// Installs, once per process, a quiet platform over a private temporary
// directory, and stores defaults there.
template <typename Session = OfflineSession>
void install(std::initializer_list<std::pair<const char*, const char*>> defaults = {}) {
  static const bool installed = [&] {
    platform::install(std::make_unique<QuietPlatform<Session>>(temporaryDirectory()));
    for (const auto& [key, value] : defaults) Util::setCookieToQIVDefaults(key, value);
    return true;
  }();
  (void)installed;
}

inline platform::LinuxApplication& application() {
  return dynamic_cast<platform::LinuxApplication&>(platform::current().application());
}

inline std::map<std::string, Value> storeSnapshot() {
  const auto entries = Util::qivDefaults()->dictionaryRepresentation();
  return {entries.begin(), entries.end()};
}

inline std::string unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out.push_back(text[i]);
      continue;
    }
    const char next = text[++i];
    const std::string_view plain = "nrt0", spelled("\n\r\t\0", 4);
    const char* hex = text.data() + i + 1;
    unsigned byte = 0;
    if (const auto at = plain.find(next); at != std::string_view::npos) {
      out.push_back(spelled[at]);
    } else if (next == 'x' && i + 2 < text.size() &&
               std::from_chars(hex, hex + 2, byte, 16).ptr == hex + 2) {
      out.push_back(static_cast<char>(byte));
      i += 2;
    } else {
      out.push_back(next);
    }
  }
  return out;
}

// Splits bytes at every occurrence of separator.
inline std::vector<std::string_view> splitAt(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  for (;;) {
    const auto at = text.find(separator);
    pieces.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return pieces;
    text.remove_prefix(at + separator.size());
  }
}

// A stored value spelled in a line: "#i:" a whole number, "#f:" a fraction,
// "#b:" data, "#j:" JSON (a value that does not parse is the text), anything
// else the text itself.
inline Value storedValue(const std::string& text) {
  const std::string rest = text.size() >= 3 ? text.substr(3) : "";
  if (text.starts_with("#i:"))
    return Value(static_cast<std::int64_t>(std::strtoll(rest.c_str(), nullptr, 10)));
  if (text.starts_with("#f:")) return Value(std::strtod(rest.c_str(), nullptr));
  if (text.starts_with("#b:")) return Value::binary(Data(rest.begin(), rest.end()));
  if (text.starts_with("#j:") && rest.size() < 4096) {
    Value parsed = Value::parse(rest, nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_discarded()) return parsed;
  }
  return Value(text);
}

// A text input: a first line, then "key=value" lines for the store (values
// as storedValue() reads them) up to a line "--", then "key=value" pairs. The
// key runs up to the first "=", the value is the rest or empty; lines take
// escapes.
struct Lines {
  std::optional<std::string> first;
  std::map<std::string, Value> store;  // the last for a key winning
  std::vector<std::pair<std::string, std::string>> pairs;
};

inline Lines readLines(std::string_view text) {
  Lines in;
  auto lines = splitAt(text, "\n");
  if (lines.back().empty()) lines.pop_back();
  bool afterStore = false;
  for (const auto raw : lines) {
    const std::string line = unescape(raw);
    const auto eq = line.find('=');
    std::pair<std::string, std::string> pair(line.substr(0, eq),
                                             eq == std::string::npos ? "" : line.substr(eq + 1));
    if (!in.first) {
      in.first = line;
    } else if (!afterStore && raw == "--") {
      afterStore = true;
    } else if (afterStore) {
      in.pairs.push_back(std::move(pair));
    } else {
      in.store[pair.first] = storedValue(pair.second);
    }
  }
  return in;
}

// The SDK defaults hold exactly entries afterwards.
inline void replaceStore(const std::map<std::string, Value>& entries) {
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    for (const auto& [key, value] : suite->dictionaryRepresentation()) suite->remove(key);
    for (const auto& [key, value] : entries) suite->set(key, value);
  });
}

// Keys added, changed or removed between two snapshots.
inline std::vector<std::string> changedKeys(const std::map<std::string, Value>& before,
                                            const std::map<std::string, Value>& after) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : after) {
    if (const auto was = before.find(key); was == before.end() || was->second != value) {
      keys.push_back(key);
    }
  }
  for (const auto& [key, value] : before) {
    if (!after.contains(key)) keys.push_back(key);
  }
  return keys;
}

}  // namespace tavrino::fuzz
