#include "push/extension_image.hpp"

#include <fstream>
#include <random>
#include <system_error>

#include "core/content_delivery.hpp"
#include "core/shared_configuration.hpp"
#include "push/payload_fields.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/push/attachment.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/push.hpp"

namespace tavrino {
namespace {

// 128 random bits in hexadecimal, drawn once per process.
const std::string& processUniqueText() {
  static const std::string text = [] {
    std::random_device device;
    std::string hex;
    for (int i = 0; i < 4; ++i) {
      char piece[9];
      std::snprintf(piece, sizeof piece, "%08x", static_cast<unsigned>(device()));
      hex += piece;
    }
    return hex;
  }();
  return text;
}

bool isPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

void reportFailure(std::string_view reason) {
  platform::current().log().console("tavrino_log : attachment exception error : " +
                                    std::string(reason));
}

}  // namespace

std::filesystem::path attachmentDirectory() {
  std::error_code error;
  std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  if (error) temporary = "/tmp";
  return temporary / ("tavrino-" + processUniqueText());
}

std::optional<platform::NotificationAttachment> saveImageToDisk(std::string_view fileIdentifier,
                                                                const Data& data,
                                                                const Value& options) {
  if (!isPlainFileName(fileIdentifier)) {
    reportFailure("not a file name : " + std::string(fileIdentifier));
    return std::nullopt;
  }
  const std::filesystem::path directory = attachmentDirectory();
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (!error) {
    std::filesystem::permissions(directory, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
  }
  if (error) {
    reportFailure(error.message());
    return std::nullopt;
  }
  const std::filesystem::path file = directory / std::string(fileIdentifier);
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    if (!out.good()) {
      reportFailure("cannot write " + file.string());
      return std::nullopt;
    }
  }
  std::string reason;
  auto attachment =
      platform::NotificationAttachment::make(fileIdentifier, file.string(), options, &reason);
  if (!attachment) reportFailure(reason);
  return attachment;
}

void Tavrino::setContentDeliveryOrigin(std::string_view origin) {
  while (origin.ends_with('/')) origin.remove_suffix(1);
  processState().withConfig(
      [&](SharedConfiguration& c) { c.contentDeliveryOrigin = std::string(origin); });
}

}  // namespace tavrino

namespace tavrino::push {

std::string contentDeliveryOrigin() {
  std::string origin =
      processState().withConfig([](SharedConfiguration& c) { return c.contentDeliveryOrigin; });
  return origin.empty() ? std::string("https://") + kDefaultCdnHost : origin;
}

std::string imageAddress(const Value& payload, std::string_view imageKey) {
  std::string address = imageKey.find('|') != std::string_view::npos
                            ? Util::findValueRecursive(payload, imageKey)
                            : textEntry(payload, imageKey).value_or("");
  if (address.starts_with("//")) return "https:" + address;
  if (address.starts_with("/")) return contentDeliveryOrigin() + address;
  return address;
}

std::string attachmentFileName(std::string_view campaignId) {
  std::string name = "qiv_img_";
  for (char c : campaignId) {
    const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
    name += kept ? c : '_';
  }
  return name + ".jpg";
}

void attachImage(const std::string& address, std::string_view campaignId,
                 platform::MutableNotificationContent& content) {
  if (address.empty()) return;
  auto& session = platform::current().urlSession();
  if (!session.formsURL(address)) {
    QivUtil::addLog("did receive notification extension image address is not a URL : " + address);
    return;
  }
  const auto data = session.contentsOf(address, kImageDownloadTimeout);
  if (!data) {
    QivUtil::addLog("did receive notification extension image download failed : " + address);
    return;
  }
  content.attachments.clear();
  if (auto attachment = saveImageToDisk(attachmentFileName(campaignId), *data)) {
    content.attachments.push_back(std::move(*attachment));
  }
}

}  // namespace tavrino::push
