#pragma once

// The image file a notification shows, as the notification service
// extension saves it.
//
// Thread-safety: may be called from any thread; the directory is made once
// per process and reused.

#include <filesystem>
#include <optional>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/platform/user_notification_center.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

// The directory this process saves attachments in: a directory of the
// temporary directory named by a text unique to the process.
TAVRINO_EXPORT std::filesystem::path attachmentDirectory();

// Writes data to the file fileIdentifier of attachmentDirectory() (made with
// its parents when missing) and returns an attachment of that file with
// identifier fileIdentifier and options. On any failure prints
// "tavrino_log : attachment exception error : " and the reason on the console
// and returns nothing. A fileIdentifier that is not a plain file name (empty,
// ".", "..", holding "/" or NUL) is such a failure: nothing is written.
TAVRINO_EXPORT std::optional<platform::NotificationAttachment> saveImageToDisk(
    std::string_view fileIdentifier, const Data& data, const Value& options = Value::object());

}  // namespace tavrino
