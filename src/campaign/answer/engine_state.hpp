#pragma once

// The campaign engine's inside: the state an AsyncTask owns and the stages a
// page view's answer goes through. Work queued on other threads or for later
// holds the state weakly and ends quietly once the AsyncTask is gone.
//
// Thread-safety: State is touched on the main thread only. The fetch and the
// answer handling run elsewhere and carry nothing of it but the weak handle.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "tavrino/async_task.hpp"
#include "tavrino/platform/dispatch.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

using ViewControllerPtr = std::shared_ptr<ui::ViewController>;

// What the shake timer carries to each tick: the page view that armed it.
struct qivCustomObject {
  StringMap client_map;
  ViewControllerPtr view;
};

struct AsyncTask::State {
  // The last dispatched campaign.
  std::string eventName = "PAGEVIEW";
  std::string function_name;
  std::string uvp, zbid, shCnt, link;
  Value params = Value::object();

  std::int64_t s_btm = 0;
  std::int64_t s_top = 0;

  // The shake trigger: one timer at most, polling for the latest armed page.
  double shkThr = 1.0;
  std::int64_t counter_ui = 0, counter_act = 0, counter_lbl = 0;
  qivCustomObject armed;
  std::shared_ptr<platform::Timer> shakeTimer;
  bool holdsAccelerometer = false;
};

using EngineState = AsyncTask::State;
using EngineHandle = std::weak_ptr<EngineState>;

// Keeps the host's view controller alive through work on other threads and
// lets go of it on the main thread: the view tree belongs to that thread.
class ViewHandle {
 public:
  explicit ViewHandle(ViewControllerPtr view);
  const ViewControllerPtr& get() const { return box_->view; }

 private:
  struct Box {
    ViewControllerPtr view;
    std::thread::id owner;
    ~Box();
  };
  std::shared_ptr<Box> box_;
};

namespace engine {

// The page view's URL, view, client map and counter, as each stage passes
// them on.
struct PageView {
  std::string link;
  ViewHandle view;
  StringMap client_map;
  std::int64_t execcounter = 0;
};

// What an answer's dispatch tells calledEvent of one campaign.
struct Prepared {
  // A custom-event campaign: already filed with the answer.
  bool filed = false;
  // Set while the campaign's run is checked in one store transaction: a
  // banner whose presentation may run host code leaves it here, to run
  // after the commit.
  std::function<void()>* presentAfterCommit = nullptr;
};

// One campaign of an answer on its way to calledEvent.
struct AnswerCampaign {
  std::string function, kind;
  Value params;
  bool filed = false;  // Prepared::filed
};

// Consecutive campaigns of an answer that go to calledEvent in one task of
// the main queue. In one store transaction, when nothing that runs between
// their checks can change what a later check reads: only the last may reach
// the host, by its presentation, which then follows the commit.
struct AnswerRun {
  std::vector<AnswerCampaign> campaigns;
  bool inOneTransaction = false;
};

void executeParameters(const EngineHandle& engine, PageView page);
void doinBackground(const EngineHandle& engine, PageView page);
// The answer to page's request, on a global queue.
void handleAnswer(const EngineHandle& engine, const Data& body, const PageView& page);
void calledEvent(const std::shared_ptr<EngineState>& state, const ViewControllerPtr& view,
                 const Value& params, std::string_view link, std::string_view eventName,
                 std::string_view function_param, const StringMap& client_map,
                 std::int64_t execcounter, const Prepared& prepared = {});
// Each campaign of run at its turn, as calledEvent would.
void dispatchRun(const std::shared_ptr<EngineState>& state, const PageView& page,
                 const AnswerRun& run);

// Cookie instruction of an answer ("_sc", "_sl").
void applyCookieInstruction(const Value& params);
// Files a "ui_sb" campaign of an answer into the inbox when it is an inbox
// message; adds the inbox keys to params.
void fileInboxCampaign(Value& params);
// Files a "CUSTOMEVENT" campaign until the host reports its event.
void fileCustomEventCampaign(std::string_view function, const Value& params);
// Files an answer's "CUSTOMEVENT" campaigns (function, params), in order, in
// one transaction.
using CustomEventCampaign = std::pair<std::string, Value>;
void fileCustomEventCampaigns(const std::vector<CustomEventCampaign>& filings);

bool isStale(std::int64_t execcounter);

// Runs fn; an exception (memory running out, say) ends the stage with a log
// line instead of reaching the host's run loop.
void guarded(std::string_view stage, const std::function<void()>& fn);

}  // namespace engine

namespace criteria {

void checkEvent(std::string_view uvp, std::string_view zbid, std::string_view shCnt,
                const Value& params, const ViewControllerPtr& view, std::string_view link,
                const StringMap& client_map);
// checkEvent without the presentation: true iff the campaign is to be shown,
// its count written (in a transaction that joins the caller's, if any).
bool decideShow(std::string_view uvp, std::string_view zbid, std::string_view shCnt,
                const Value& params, const StringMap& client_map);

// Starts the accelerometer for a "SHAKE" campaign and arms the trigger 10 ms
// later with the page's view and client map.
void startShakeTrigger(const std::shared_ptr<EngineState>& state, const ViewControllerPtr& view,
                       const StringMap& client_map);
void armShakeTrigger(const std::shared_ptr<EngineState>& state, qivCustomObject page);
// One tick of the shake poll.
void updateWithTimer(const std::shared_ptr<EngineState>& state);
// Invalidates the timer and lets go of the accelerometer.
void stopShakeTrigger(EngineState& state);

}  // namespace criteria

}  // namespace tavrino
