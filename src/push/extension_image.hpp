#pragma once

// The image of a notification in the service extension: where it is, and
// the file it is saved as.

#include <chrono>
#include <string>
#include <string_view>

#include "tavrino/platform/user_notification_center.hpp"
#include "tavrino/value.hpp"

namespace tavrino::push {

// The platform ends a service extension after about 30 s; the download
// leaves time for the rest of the enrichment.
inline constexpr std::chrono::seconds kImageDownloadTimeout{10};

// The image address the payload gives under imageKey (a key, or a path of
// keys joined by "|"), normalised: "//host/..." gets "https:", "/path" gets
// the content delivery origin, anything else stays as it is.
std::string imageAddress(const Value& payload, std::string_view imageKey);

// The content delivery origin without a trailing "/".
std::string contentDeliveryOrigin();

// "qiv_img_" + the campaign id + ".jpg", where every character of the id
// that is not an ASCII letter, digit, "-" or "_" becomes "_": a file name of
// the attachment directory, whatever the payload holds.
std::string attachmentFileName(std::string_view campaignId);

// Downloads the image at address (bounded by kImageDownloadTimeout) and makes
// it content's only attachment. A missing or unparsable address or a failed
// download changes nothing; a failed save leaves no attachments.
void attachImage(const std::string& address, std::string_view campaignId,
                 platform::MutableNotificationContent& content);

}  // namespace tavrino::push
