#pragma once

// Running what the service filed for a custom event. The entries are the
// campaign layer's: it defines these, so tracking stays beneath it (the
// same link-time seam as the default platform).

#include <string_view>

#include "tracking/tracking.hpp"

namespace tavrino::tracking {

void runFiledBanner(const Value& params, const ViewControllerPtr& view, std::string_view link,
                    const StringMap& client_map);
void runFiledAction(const Value& params, const ViewControllerPtr& view, std::string_view link,
                    const StringMap& client_map);
void runFiledLabel(const Value& params, const ViewControllerPtr& view, const StringMap& client_map);

}  // namespace tavrino::tracking
