// Out-of-line pieces of the user-notification interfaces and the system
// version comparison.

#include <charconv>
#include <filesystem>
#include <system_error>

#include "tavrino/platform/system_info.hpp"
#include "tavrino/platform/user_notification_center.hpp"

namespace tavrino::platform {
namespace {

// Reads the next dot-separated whole number; 0 when there is none.
int nextVersionPart(std::string_view& text) {
  int part = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), part);
  if (ec != std::errc() || part < 0) {
    text = {};
    return 0;
  }
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  if (text.empty() || text.front() != '.') {
    text = {};
  } else {
    text.remove_prefix(1);
  }
  return part;
}

constexpr std::string_view kFileScheme = "file://";

}  // namespace

bool SystemInfo::isOperatingSystemAtLeast(int major, int minor) {
  const std::string version = systemVersion();
  std::string_view rest = version;
  const int ownMajor = nextVersionPart(rest);
  const int ownMinor = nextVersionPart(rest);
  return ownMajor != major ? ownMajor > major : ownMinor >= minor;
}

UserNotificationCenterDelegate::~UserNotificationCenterDelegate() = default;
UserNotificationCenter::~UserNotificationCenter() = default;

std::optional<NotificationAttachment> NotificationAttachment::make(std::string_view identifier,
                                                                   std::string_view url,
                                                                   const Value& options,
                                                                   std::string* error) {
  std::string_view path = url;
  if (path.starts_with(kFileScheme)) path.remove_prefix(kFileScheme.size());
  std::error_code ec;
  const std::filesystem::path file{std::string(path)};
  if (path.empty() || !file.is_absolute() || !std::filesystem::is_regular_file(file, ec)) {
    if (error) *error = "no file at " + std::string(url);
    return std::nullopt;
  }
  return NotificationAttachment{std::string(identifier), file.string(), options};
}

}  // namespace tavrino::platform
