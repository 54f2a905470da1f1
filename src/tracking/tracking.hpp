#pragma once

// What the host reports about its visitor: events, clicks, cart items,
// attribution and deep links. The client's members forward here; banners,
// campaigns and push call it directly.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tavrino/ui/view_controller.hpp"
#include "tavrino/value.hpp"

namespace tavrino::tracking {

using ViewControllerPtr = std::shared_ptr<ui::ViewController>;

// Custom events: runs the campaigns filed for the event. createEvent (the
// host's) queues the event until the page's answer is in.
void createEvent(std::string_view eventname, const ViewControllerPtr& view,
                 const StringMap& client_map, std::string_view baseLink);
void createCustomEvent(std::string_view eventname, const ViewControllerPtr& view,
                       const StringMap& client_map);
// Forgets the filed custom events and the stored badges.
void clearCustomActions();

// Clicks and impressions.
void track(const Value& parameters, const StringMap& client_map);
void saveClickEvent(const Value& parameters, const StringMap& client_map);
void szbid(const Value& parameters);
void saveClickCookie(const Value& parameters, const ViewControllerPtr& view,
                     const StringMap& client_map);
void clink(const Value& parameters, const StringMap& client_map);

// Cart items; extraparams may be null.
void addCartItem(std::string_view productId, std::string_view quantity, std::string_view price,
                 std::string_view category, std::string_view title, const Value* extraparams);
std::string numberFormat(const Value& format, std::string_view price);

// Install attribution.
void trackAppInstallWithAdjust(std::string_view network, std::string_view campaign);
void trackAppInstallWithAdjust(std::string_view network, std::string_view campaign,
                               std::string_view idfa);
void trackAppInstallWithAdjust(std::string_view trackerToken, std::string_view trackerName,
                               std::string_view network, std::string_view campaign,
                               std::string_view adgroup, std::string_view creative,
                               std::string_view clickLabel, std::string_view adid);
void trackAppInstallStats(std::string_view idfa);

// Deep links: test parameters, campaign parameters, push previews.
void handleDeepLink(const std::optional<std::string>& url);
bool isEnabledHash();

}  // namespace tavrino::tracking
