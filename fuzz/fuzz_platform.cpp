#include "fuzz_platform.hpp"

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tavrino/platform/linux.hpp"

namespace tavrino::fuzz {
namespace {

class QuietPlatform final : public platform::PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  platform::Log& log() override { return log_; }

 private:
  QuietLog log_;
};

}  // namespace

void installQuietPlatform() {
  static const bool installed = [] {
    std::string dir = (std::filesystem::temp_directory_path() / "tavrino-fuzz-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) std::abort();
    platform::install(std::make_unique<QuietPlatform>(
        platform::makeLinuxPlatform({.dataDirectory = dir, .clock = nullptr})));
    return true;
  }();
  (void)installed;
}

}  // namespace tavrino::fuzz
