// The shake trigger. A "SHAKE" campaign starts the accelerometer and arms a
// poll every 10 ms; a sample beyond the threshold on all three axes fires the
// last dispatched campaign, each kind once per engine. One poll per engine,
// for the latest armed page; it stops once every kind has fired.

#include <chrono>
#include <cmath>
#include <mutex>

#include "campaign/answer/engine_state.hpp"
#include "tavrino/campaign/add_act.hpp"
#include "tavrino/campaign/add_lbl.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"

namespace tavrino::criteria {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kArmDelay{10};
constexpr milliseconds kPollInterval{10};

// The accelerometer is the platform's, shared by every engine: it stops when
// the last engine polling it lets go.
std::mutex leaseMu;
int leaseCount = 0;

void holdAccelerometer(EngineState& state) {
  if (state.holdsAccelerometer) return;
  state.holdsAccelerometer = true;
  std::lock_guard lock(leaseMu);
  ++leaseCount;
}

void releaseAccelerometer(EngineState& state) {
  if (!state.holdsAccelerometer) return;
  state.holdsAccelerometer = false;
  std::lock_guard lock(leaseMu);
  if (--leaseCount == 0) platform::current().motionManager().stopAccelerometerUpdates();
}

// Every kind has fired: nothing can fire any more.
bool isSpent(const EngineState& state) {
  return state.counter_ui >= 1 && state.counter_act >= 1 && state.counter_lbl >= 1;
}

bool isShake(const platform::Acceleration& sample, double threshold) {
  return std::fabs(sample.x) > threshold && std::fabs(sample.y) > threshold &&
         std::fabs(sample.z) > threshold;
}

}  // namespace

void startShakeTrigger(const std::shared_ptr<EngineState>& state, const ViewControllerPtr& view,
                       const StringMap& client_map) {
  if (isSpent(*state)) {
    QivUtil::addLog("shake trigger spent. not armed");
    return;
  }
  holdAccelerometer(*state);
  platform::current().motionManager().startAccelerometerUpdates();
  platform::current().dispatch().mainAsyncAfter(
      kArmDelay, [handle = EngineHandle(state), page = qivCustomObject{client_map, view}] {
        if (const auto s = handle.lock())
          engine::guarded("shake", [&] { armShakeTrigger(s, page); });
      });
}

void armShakeTrigger(const std::shared_ptr<EngineState>& state, qivCustomObject page) {
  if (isSpent(*state)) return;
  state->armed = std::move(page);
  if (state->shakeTimer && state->shakeTimer->isValid()) return;
  state->shakeTimer =
      platform::current().dispatch().scheduledTimer(kPollInterval, [handle = EngineHandle(state)] {
        if (const auto s = handle.lock()) engine::guarded("shake", [&] { updateWithTimer(s); });
      });
}

void updateWithTimer(const std::shared_ptr<EngineState>& state) {
  const auto sample = platform::current().motionManager().accelerometerData();
  if (!sample || !isShake(*sample, state->shkThr)) return;

  // Copies: the campaign's host code may dispatch another campaign.
  const qivCustomObject page = state->armed;
  const Value params = state->params;
  const std::string link = state->link;
  const std::string& function = state->function_name;
  platform::labelMainTask(function, state->zbid);
  if (function == "ui_sb" && state->counter_ui < 1) {
    ++state->counter_ui;
    const std::string uvp = state->uvp, zbid = state->zbid, shCnt = state->shCnt;
    checkEvent(uvp, zbid, shCnt, params, page.view, link, page.client_map);
  } else if (function == "add_act" && state->counter_act < 1) {
    ++state->counter_act;
    add_act().execute(params, link, page.client_map);
  } else if (function == "add_lbl" && state->counter_lbl < 1) {
    ++state->counter_lbl;
    add_lbl().execute(params, page.client_map, std::make_shared<ui::ViewController>());
  } else {
    return;
  }
  if (isSpent(*state)) stopShakeTrigger(*state);
}

void stopShakeTrigger(EngineState& state) {
  if (state.shakeTimer) {
    state.shakeTimer->invalidate();
    state.shakeTimer.reset();
  }
  state.armed = {};
  releaseAccelerometer(state);
}

}  // namespace tavrino::criteria
