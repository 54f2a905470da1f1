// The client's tracking members: each forwards to the tracking layer (or,
// for direct actions and badges, to the campaign layer).

#include "campaign/host_calls.hpp"
#include "tavrino/banner/badge_definitions.hpp"
#include "tavrino/client.hpp"
#include "tracking/tracking.hpp"

namespace tavrino {

void Tavrino::createEvent(std::string_view eventname, const ViewControllerPtr& view,
                          const StringMap& client_map) {
  tracking::createEvent(eventname, view, client_map, baseLink);
}

void Tavrino::createCustomEvent(std::string_view eventname, const ViewControllerPtr& view,
                                const StringMap& client_map) {
  tracking::createCustomEvent(eventname, view, client_map);
}

void Tavrino::clearCustomActions() {
  tracking::clearCustomActions();
  banner::BadgeDefinitions::shared().clear();
}

void Tavrino::track(const Value& parameters, const StringMap& client_map) {
  tracking::track(parameters, client_map);
}

void Tavrino::saveClickEvent(const Value& parameters, const StringMap& client_map) {
  tracking::saveClickEvent(parameters, client_map);
}

void Tavrino::szbid(const Value& parameters) {
  tracking::szbid(parameters);
}

void Tavrino::saveClickCookie(const Value& parameters, const ViewControllerPtr& view,
                              const StringMap& client_map) {
  tracking::saveClickCookie(parameters, view, client_map);
}

void Tavrino::_clink(const Value& parameters, const StringMap& client_map) {
  tracking::clink(parameters, client_map);
}

void Tavrino::addItem(std::string_view productId, std::string_view quantity, std::string_view price,
                      std::string_view category, std::string_view title) {
  tracking::addCartItem(productId, quantity, price, category, title, nullptr);
}

void Tavrino::addItem(std::string_view productId, std::string_view quantity, std::string_view price,
                      std::string_view category, std::string_view title, const Value& extraparams) {
  tracking::addCartItem(productId, quantity, price, category, title, &extraparams);
}

std::string Tavrino::numberFormat(const Value& format, std::string_view price) {
  return tracking::numberFormat(format, price);
}

void Tavrino::add_action(std::string_view di, std::string_view pt, std::string_view v,
                         std::string_view id, std::string_view to, std::string_view lv,
                         const StringMap& client_map) {
  campaign::addDirectAction(di, pt, v, id, to, lv, baseLink, client_map);
}

void Tavrino::add_label(std::string_view di, std::string_view pt, std::string_view v,
                        std::string_view id, std::string_view to, std::string_view lv,
                        const StringMap& client_map) {
  campaign::addDirectLabel(di, pt, v, id, to, lv, client_map);
}

void Tavrino::activateListingBadge(const ViewControllerPtr& view, const StringMap& localmap) {
  campaign::activateListingBadge(view, localmap);
}

void Tavrino::trackAppInstallWithAdjust(std::string_view network, std::string_view campaign) {
  tracking::trackAppInstallWithAdjust(network, campaign);
}

void Tavrino::trackAppInstallWithAdjust(std::string_view network, std::string_view campaign,
                                        std::string_view idfa) {
  tracking::trackAppInstallWithAdjust(network, campaign, idfa);
}

void Tavrino::trackAppInstallWithAdjust(std::string_view trackerToken, std::string_view trackerName,
                                        std::string_view network, std::string_view campaign,
                                        std::string_view adgroup, std::string_view creative,
                                        std::string_view clickLabel, std::string_view adid) {
  tracking::trackAppInstallWithAdjust(trackerToken, trackerName, network, campaign, adgroup,
                                      creative, clickLabel, adid);
}

void Tavrino::trackAppInstallStats(std::string_view idfa) {
  tracking::trackAppInstallStats(idfa);
}

void Tavrino::trackDeepLink(const std::optional<std::string>& url) {
  tracking::handleDeepLink(url);
}

void Tavrino::trackDeepLink(
    const std::optional<std::string>& url,
    const std::function<void(const std::optional<std::string>&)>& callback) {
  tracking::handleDeepLink(url);
  if (callback) callback(url);
}

void Tavrino::saveTestParameters(const std::optional<std::string>& url) {
  tracking::handleDeepLink(url);
}

bool Tavrino::isEnabledHash() {
  return tracking::isEnabledHash();
}

}  // namespace tavrino
