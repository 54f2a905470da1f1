#pragma once

// The campaign layer's entry points for the client's members.

#include <memory>
#include <string_view>

#include "tavrino/ui/view_controller.hpp"
#include "tavrino/value.hpp"

namespace tavrino::campaign {

using ViewControllerPtr = std::shared_ptr<ui::ViewController>;

// Listing badges: lays the registered badge definitions over the listed
// items' views ("qivlid"); waits for the page view's answer.
void activateListingBadge(const ViewControllerPtr& view, const StringMap& localmap);

// An action or label the host runs directly instead of through an answer.
void addDirectAction(std::string_view di, std::string_view pt, std::string_view v,
                     std::string_view id, std::string_view to, std::string_view lv,
                     std::string_view baseLink, const StringMap& client_map);
void addDirectLabel(std::string_view di, std::string_view pt, std::string_view v,
                    std::string_view id, std::string_view to, std::string_view lv,
                    const StringMap& client_map);

}  // namespace tavrino::campaign
