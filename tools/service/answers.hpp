#pragma once

// The service's own answers: the SDK's endpoints, images and broken answers.

#include <filesystem>
#include <optional>
#include <string>

#include <httplib.h>

#include "service/recorded_request.hpp"
#include "service/scenario.hpp"
#include "service/service.hpp"

namespace tavrino::service {

// Answers request from scenario by the endpoint its path ends in; 404 for a
// path that is none. "{{base}}" in a scenario answer becomes base, so
// scenario files can point at the service's own images.
void answerEndpoint(const RecordedRequest& request, const Scenario& scenario,
                    const std::string& base, httplib::Response& response);

// Returns path with symbolic links resolved when it is folder (resolved too)
// or lies inside it; otherwise nothing.
std::optional<std::filesystem::path> resolvedInside(const std::filesystem::path& path,
                                                    const std::filesystem::path& folder);

// Renders JSON that may hold bytes that are not UTF-8 (recorded bodies).
std::string dumpJson(const Json& value);

}  // namespace tavrino::service
