#pragma once

// The requests the tracking service received, read from the in-process
// reference service or, for a service given by address, from its control
// endpoint ("/_control/requests").

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "service/recorded_request.hpp"
#include "service/service.hpp"

namespace tavrino::sim {

class HitSource {
 public:
  virtual ~HitSource() = default;
  // Every request received so far, in arrival order; nothing when the
  // service cannot tell.
  virtual std::optional<std::vector<service::RecordedRequest>> all() = 0;
};

std::unique_ptr<HitSource> inProcessHits(const service::Service& service);

// Probes the service at baseUrl. Returns nothing, with *error set, when no
// HTTP service answers there; *recording tells whether it has the control
// endpoint (a production service has not: its hits cannot be shown).
std::unique_ptr<HitSource> remoteHits(const std::string& baseUrl, bool* recording,
                                      std::string* error);

// "GET /d" followed by the decoded pairs, one "key=value" a line.
std::string describeHit(const service::RecordedRequest& hit);

}  // namespace tavrino::sim
