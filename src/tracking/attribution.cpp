// Install attribution: stored once, sent with every request.

#include <string>

#include "tavrino/util/store.hpp"
#include "tracking/tracking.hpp"

namespace tavrino::tracking {

void trackAppInstallWithAdjust(std::string_view network, std::string_view campaign) {
  Util::setCookieToQIVDefaults("qiv_referral", std::string(network) + "." + std::string(campaign));
}

void trackAppInstallWithAdjust(std::string_view network, std::string_view campaign,
                               std::string_view idfa) {
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    Util::setCookieToQIVDefaults("qiv_idfa", idfa);
    Util::setCookieToQIVDefaults(
        "qiv_referral_suffix",
        std::string(network) + "." + std::string(campaign) + "." + std::string(idfa));
  });
}

void trackAppInstallWithAdjust(std::string_view trackerToken, std::string_view trackerName,
                               std::string_view network, std::string_view campaign,
                               std::string_view adgroup, std::string_view creative,
                               std::string_view clickLabel, std::string_view adid) {
  std::string joined(trackerToken);
  for (std::string_view part :
       {trackerName, network, campaign, adgroup, creative, clickLabel, adid}) {
    joined.append(".").append(part);
  }
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    Util::setCookieToQIVDefaults("qiv_idfa", adid);
    Util::setCookieToQIVDefaults("qiv_referral_adjust", joined);
  });
}

void trackAppInstallStats(std::string_view idfa) {
  Util::setCookieToQIVDefaults("qiv_idfa", idfa);
}

}  // namespace tavrino::tracking
