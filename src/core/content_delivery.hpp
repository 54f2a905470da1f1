#pragma once

namespace tavrino {

// The CDN the SDK's content comes from unless a page names another.
inline constexpr const char* kDefaultCdnHost = "cdn.tavrino.invalid";

}  // namespace tavrino
