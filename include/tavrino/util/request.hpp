#pragma once

// Building the URLs of the requests the SDK sends. Nothing here sends.

#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

namespace tavrino::Util {

// Returns the full URL of a request of the given type ("standart", "track",
// "push", "message", "pushpreview", "inboxlist", "settings", "log").
TAVRINO_EXPORT std::string createRequest(std::string_view type, const StringMap& receivedMap);
TAVRINO_EXPORT std::string createURLSuffix(const StringMap& custom);
TAVRINO_EXPORT StringMap createLocalVariable();
TAVRINO_EXPORT StringMap mergeMaps(const StringMap& client_params,
                                   const StringMap& customize_system);
TAVRINO_EXPORT std::string createLink(const StringMap& map);
TAVRINO_EXPORT std::string createLinkForUserDefaults();
TAVRINO_EXPORT std::string encodeForUrl(std::string_view key, std::string_view value);
TAVRINO_EXPORT std::string _getaitemtext();
TAVRINO_EXPORT std::string sanitize(std::string_view pagename);
TAVRINO_EXPORT std::string isTablet();
TAVRINO_EXPORT std::string machineName();
TAVRINO_EXPORT std::string getDeviceModel();
TAVRINO_EXPORT std::string mapToDevice(std::string_view identifier);
// Returns true iff the application is registered for remote notifications
// and the notification settings allow at least one presentation type.
TAVRINO_EXPORT bool isPushEnabled();

}  // namespace tavrino::Util
