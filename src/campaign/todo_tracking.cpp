// Placeholders for events, clicks, cart items, deep links, actions and
// labels; each is replaced by its real module.

#include "tavrino/campaign/add_act.hpp"
#include "tavrino/campaign/add_lbl.hpp"
#include "tavrino/client.hpp"

namespace tavrino {

void Tavrino::createEvent(std::string_view, const ViewControllerPtr&, const StringMap&) {}
void Tavrino::createCustomEvent(std::string_view, const ViewControllerPtr&, const StringMap&) {}
void Tavrino::track(const Value&, const StringMap&) {}
void Tavrino::saveClickEvent(const Value&, const StringMap&) {}
void Tavrino::szbid(const Value&) {}
void Tavrino::saveClickCookie(const Value&, const ViewControllerPtr&, const StringMap&) {}
void Tavrino::_clink(const Value&, const StringMap&) {}
void Tavrino::addItem(std::string_view, std::string_view, std::string_view, std::string_view,
                      std::string_view) {}
void Tavrino::addItem(std::string_view, std::string_view, std::string_view, std::string_view,
                      std::string_view, const Value&) {}
std::string Tavrino::numberFormat(const Value&, std::string_view) { return "0"; }
void Tavrino::add_action(std::string_view, std::string_view, std::string_view, std::string_view,
                         std::string_view, std::string_view, const StringMap&) {}
void Tavrino::add_label(std::string_view, std::string_view, std::string_view, std::string_view,
                        std::string_view, std::string_view, const StringMap&) {}
void Tavrino::clearCustomActions() {}
void Tavrino::trackAppInstallWithAdjust(std::string_view, std::string_view) {}
void Tavrino::trackAppInstallWithAdjust(std::string_view, std::string_view, std::string_view) {}
void Tavrino::trackAppInstallWithAdjust(std::string_view, std::string_view, std::string_view,
                                        std::string_view, std::string_view, std::string_view,
                                        std::string_view, std::string_view) {}
void Tavrino::trackAppInstallStats(std::string_view) {}
void Tavrino::trackDeepLink(const std::optional<std::string>&) {}
void Tavrino::trackDeepLink(const std::optional<std::string>&,
                            const std::function<void(const std::optional<std::string>&)>&) {}
void Tavrino::saveTestParameters(const std::optional<std::string>&) {}

void add_act::execute(const Value&, std::string_view, const std::shared_ptr<ui::ViewController>&,
                      const StringMap&) {}
void add_act::execute(const Value&, std::string_view, const StringMap&) {}
void add_lbl::execute(const Value&, const StringMap&, const std::shared_ptr<ui::ViewController>&) {}

}  // namespace tavrino
