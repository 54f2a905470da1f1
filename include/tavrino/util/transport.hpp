#pragma once

// Requests whose answer is dropped, and the SDK's log upload.

#include <string_view>

#include "tavrino/export.hpp"

namespace tavrino::Util {

// Sends a GET from a global queue; the answer is dropped. type names the
// request in the steps only.
TAVRINO_EXPORT void getRequest(std::string_view type, std::string_view url);
// POSTs {"message": message} as JSON; the answer is dropped.
TAVRINO_EXPORT void sendPostRequest(std::string_view url, std::string_view message);
// Uploads message to the service's log endpoint.
TAVRINO_EXPORT void addServerLog(std::string_view message);

}  // namespace tavrino::Util
