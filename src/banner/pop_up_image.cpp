// The image step of a banner: the social-proof count, then the image from
// the shared cache or the network, then the impression step. The main
// thread never waits: each load completes elsewhere and the next step is
// posted back to the main queue.

#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "core/transport/request_timeout.hpp"
#include "tavrino/banner/image_cache.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/banner/social_proof.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino {
namespace {

// What one banner carries from step to step. Held by one task at a time and
// moved, never copied, between threads, so the host's controllers are let
// go of on the main thread.
struct ImageStep {
  std::shared_ptr<popUpController> controller;
  std::shared_ptr<ui::ViewController> view;
  std::string url;
  std::string link;
  Value params;
  std::string function;
  StringMap client_map;
};
using StepPtr = std::unique_ptr<ImageStep>;

platform::Platform& platformNow() {
  return platform::current();
}

// Whatever goes wrong inside a step is a log line; the banner is dropped.
template <typename Fn>
void guardedStep(Fn&& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    QivUtil::addLog(std::string("downloadImage failed : ") + e.what());
  } catch (...) {
    QivUtil::addLog("downloadImage failed");
  }
}

// Runs fn(step) on the main queue. std::function needs a copyable task, so
// the step travels in a shared box that only the task empties.
template <typename Fn>
void onMain(StepPtr step, Fn fn) {
  auto box = std::make_shared<StepPtr>(std::move(step));
  platformNow().dispatch().mainAsync([box, fn = std::move(fn)]() mutable {
    if (!*box) return;
    platform::labelMainTask((*box)->function, Util::tryCatch((*box)->params, "zbid", "0"));
    guardedStep([&] { fn(std::move(*box)); });
  });
}

template <typename Fn>
void onGlobalQueue(StepPtr step, Fn fn) {
  auto box = std::make_shared<StepPtr>(std::move(step));
  platformNow().dispatch().globalAsync(platform::QualityOfService::userInitiated,
                                       [box, fn = std::move(fn)]() mutable {
                                         if (*box) guardedStep([&] { fn(std::move(*box)); });
                                       });
}

// GET url; done(step, body) runs on a global queue, with no body for any
// failure (no URL, transport error, a status of 400 or more).
template <typename Fn>
void fetch(const std::string& url, StepPtr step, Fn done) {
  platform::URLRequest request;
  request.url = url;
  request.timeout = configuredRequestTimeout();
  auto box = std::make_shared<StepPtr>(std::move(step));
  platformNow().urlSession().dataTask(
      std::move(request),
      [box, done = std::move(done)](std::optional<Data> data,
                                    std::optional<platform::URLResponse> response,
                                    std::optional<platform::URLError> error) mutable {
        if (!*box) return;
        std::optional<Data> body;
        if (error) {
          QivUtil::addLog("download failed : " + error->localizedDescription);
        } else if (response && response->statusCode >= 400) {
          QivUtil::addLog("download failed : status " + std::to_string(response->statusCode));
        } else {
          body = data.value_or(Data{});
        }
        // Decoding and parsing stay off the session thread, which completes
        // every other transfer.
        onGlobalQueue(std::move(*box), [done = std::move(done), body = std::move(body)](
                                           StepPtr step) mutable { done(std::move(step), body); });
      });
}

void showBanner(StepPtr step, const ui::Image& image) {
  step->controller->imageSet(step->view, image, step->link, step->params, step->function,
                             step->client_map);
}

void resolveImage(StepPtr step) {
  if (step->url.empty()) return showBanner(std::move(step), ui::Image());
  const auto key = banner::ImageCache::keyFor(step->url);
  if (!key) {
    QivUtil::addLog("downloadImage url is not UTF-8. no image.");
    return showBanner(std::move(step), ui::Image());
  }
  if (const auto cached = banner::ImageCache::shared().get(*key)) {
    return showBanner(std::move(step), *cached);
  }
  fetch(*key, std::move(step), [key = *key](StepPtr step, const std::optional<Data>& body) {
    ui::Image image;
    if (body) {
      auto decoded = platformNow().imageDecoder().decode(*body);
      if (decoded.image) {
        image = *decoded.image;
        banner::ImageCache::shared().set(key, image);
      } else {
        QivUtil::addLog("downloadImage not an image : " + decoded.failure);
      }
    }
    onMain(std::move(step), [image](StepPtr step) { showBanner(std::move(step), image); });
  });
}

// The client-map entry named by "_spidf" when "_spid" is a positive whole
// number; social proof is off otherwise.
std::optional<std::string> socialProofClientValue(const Value& params, const StringMap& client_map,
                                                  const std::string& spid) {
  std::int64_t id = 0;
  if (!parseInteger(spid, &id) || id <= 0) return std::nullopt;
  const auto entry = client_map.find(Util::tryCatch(params, "_spidf", "0"));
  if (entry == client_map.end()) return std::nullopt;
  return entry->second;
}

void startImageStep(StepPtr step) {
  const std::string spid = Util::tryCatch(step->params, "_spid", "0");
  const auto clientValue = socialProofClientValue(step->params, step->client_map, spid);
  if (!clientValue || !banner::hasSocialProofPlaceholder(step->params)) {
    return resolveImage(std::move(step));
  }
  const std::string spiid = Util::tryCatch(step->params, "_spiid", "0");
  const auto countUrl = banner::socialProofUrl(*clientValue, spid, spiid);
  if (!countUrl) {
    QivUtil::addLog("social proof value is not UTF-8. count 0.");
    banner::fillSocialProofCount(step->params, 0);
    return resolveImage(std::move(step));
  }
  fetch(*countUrl, std::move(step), [spid, spiid](StepPtr step, const std::optional<Data>& body) {
    const std::int64_t count = body ? banner::socialProofCount(*body, spid, spiid) : 0;
    onMain(std::move(step), [count](StepPtr step) {
      banner::fillSocialProofCount(step->params, count);
      resolveImage(std::move(step));
    });
  });
}

}  // namespace

void popUpController::downloadImage(std::string_view url,
                                    const std::shared_ptr<ui::ViewController>& view,
                                    std::string_view link, const Value& params,
                                    std::string_view function, const StringMap& client_map) {
  QivUtil::addLog("downloadImage called.");
  QivUtil::addLog("downloadImage url : " + std::string(url));
  auto self = std::static_pointer_cast<popUpController>(weak_from_this().lock());
  if (!self) {
    QivUtil::addLog("downloadImage called. The banner controller is not shared.");
    return;
  }
  guardedStep([&] {
    startImageStep(std::make_unique<ImageStep>(ImageStep{
        std::move(self), view, std::string(url), std::string(link),
        params.is_object() ? params : Value::object(), std::string(function), client_map}));
  });
}

ui::Image popUpController::getImageFromUrl(std::string_view urlToRequest) {
  auto& platform = platformNow();
  if (platform.dispatch().isMainThread()) {
    QivUtil::addLog("getImageFromUrl called on the main thread. nothing loaded.");
    return {};
  }
  const auto data = platform.urlSession().contentsOf(urlToRequest, configuredRequestTimeout());
  if (!data) return {};
  auto decoded = platform.imageDecoder().decode(*data);
  if (!decoded.image) {
    QivUtil::addLog("getImageFromUrl not an image : " + decoded.failure);
    return {};
  }
  return *decoded.image;
}

std::int64_t popUpController::getSocialProofValue(std::string_view url, std::string_view spid,
                                                  std::string_view spiid) {
  auto& platform = platformNow();
  if (platform.dispatch().isMainThread()) {
    QivUtil::addLog("getSocialProofValue called on the main thread. nothing loaded.");
    return 0;
  }
  const auto data = platform.urlSession().contentsOf(url, configuredRequestTimeout());
  return data ? banner::socialProofCount(*data, spid, spiid) : 0;
}

}  // namespace tavrino
