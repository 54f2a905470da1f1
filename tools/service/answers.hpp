#pragma once

// The service's own answers: the SDK's endpoints, images and broken answers.

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

// Renders JSON that may hold bytes that are not UTF-8 (recorded bodies).
std::string dumpJson(const Json& value);

}  // namespace tavrino::service
