#include "tavrino/platform/url_session.hpp"

namespace tavrino::platform {

URLSession::~URLSession() = default;

}  // namespace tavrino::platform
