// Presentation of banner and badge campaigns that passed their criteria:
// the image to show, the start delay, then the banner controller.

#include "tavrino/campaign/ui_sb.hpp"

#include <algorithm>
#include <chrono>

#include "campaign/ui_sb_start.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino {
namespace {

// A banner that waits longer than a day waits a day: its page view is long
// gone by then, and the delay stays far from any overflow.
constexpr std::int64_t kMaxStartDelaySeconds = 86400;

// The campaign's text value of key, or nothing when it is absent or no text.
std::optional<std::string> textOf(const Value& params, const char* key) {
  if (!params.is_object()) return std::nullopt;
  const auto found = params.find(key);
  if (found == params.end() || !found->is_string()) return std::nullopt;
  return found->get<std::string>();
}

// "stde" in whole seconds, or nothing when it is no whole number of at
// least 0.
std::optional<std::int64_t> startDelay(const Value& params) {
  std::int64_t seconds = 0;
  if (!parseInteger(Util::tryCatch(params, "stde", "0"), &seconds) || seconds < 0) {
    return std::nullopt;
  }
  return std::min(seconds, kMaxStartDelaySeconds);
}

// A delay that is not one shows the campaign at once.
std::int64_t startDelaySeconds(const Value& params) {
  const auto seconds = startDelay(params);
  if (!seconds) {
    QivUtil::addLog("ui_sb start delay is not a whole number : " +
                    Util::tryCatch(params, "stde", "0"));
  }
  return seconds.value_or(0);
}

}  // namespace

void ui_sb::setParameters(const Value& params, const std::shared_ptr<ui::ViewController>& view,
                          std::string_view link, const StringMap& client_map) {
  QivUtil::addLog("ui_sb setParameters called.");
  const auto bsc = textOf(params, "bsc");
  if (!bsc) {
    QivUtil::addLog("ui_sb setParameters bsc is not a text.return.");
    return;
  }
  std::string image = textOf(params, "img").value_or("");
  if (*bsc == "bdgai") image = getAISBadgeImageUrl(params);
  if (!image.empty() && image.find("http") == std::string::npos) image = "https:" + image;

  const std::int64_t delay = startDelaySeconds(params);
  auto controller = std::make_shared<popUpController>();
  auto present = [controller, image, view, link = std::string(link), params, function = *bsc,
                  client_map] {
    controller->downloadImage(image, view, link, params, function, client_map);
  };
  if (delay == 0) {
    present();
  } else {
    platform::current().dispatch().mainAsyncAfter(std::chrono::seconds(delay), std::move(present));
  }
}

bool presentsAtOnce(const Value& params) {
  return textOf(params, "bsc") && startDelay(params).value_or(0) == 0;
}

std::string ui_sb::getAISBadgeImageUrl(const Value& params) {
  const Value images = Util::parseJSONArray(std::string_view(Util::tryCatch(params, "sub", "")));
  if (images.empty()) return {};
  return Util::tryCatch(images.back(), "p", "");
}

}  // namespace tavrino
