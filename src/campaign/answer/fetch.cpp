// Fetching a page view's answer: from the main queue to a global queue to the
// transport, dropping the work whenever a newer page view has started. The
// answer is handled on a global queue, not on the session thread: handling
// writes the store, which may wait for another process's lock, and the
// session thread completes every other transfer.

#include "campaign/answer/engine_state.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"

namespace tavrino::engine {

void executeParameters(const EngineHandle& engine, PageView page) {
  if (engine.expired()) return;
  if (isStale(page.execcounter)) {
    QivUtil::addLog("executeParameters execcount did not match");
    return;
  }
  QivUtil::addLog("execcount match");
  platform::current().dispatch().globalAsync(
      platform::QualityOfService::defaultQoS, [engine, page = std::move(page)]() mutable {
        guarded("doinBackground", [&] { doinBackground(engine, std::move(page)); });
      });
}

void doinBackground(const EngineHandle& engine, PageView page) {
  if (isStale(page.execcounter)) {
    QivUtil::addLog("doinBackground execcount did not match");
    return;
  }
  if (!platform::current().urlSession().formsURL(page.link)) {
    QivUtil::addLog("this is not valid url : " + page.link);
    return;
  }
  const std::string url = page.link;
  AsyncTask::getDataFromUrl(
      url, [engine, page = std::move(page)](std::optional<Data> data, auto, auto) {
        if (!data) return;
        platform::current().dispatch().globalAsync(
            platform::QualityOfService::defaultQoS,
            [engine, body = std::move(*data), page = std::move(page)] {
              guarded("answer handling", [&] { handleAnswer(engine, body, page); });
            });
      });
}

}  // namespace tavrino::engine
