// The engine object: its state, its accessors, and the public operations,
// which forward to the stages with the state's handle.

#include "campaign/answer/engine_state.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"

namespace tavrino {

ViewHandle::ViewHandle(ViewControllerPtr view) : box_(std::make_shared<Box>()) {
  box_->view = std::move(view);
  box_->owner = std::this_thread::get_id();
}

// Compared with the creating thread rather than asking the platform: the last
// handle may go with a platform being torn down. Other threads only run while
// their platform is current, so posting from there is safe.
ViewHandle::Box::~Box() {
  if (!view || std::this_thread::get_id() == owner) return;
  platform::current().dispatch().mainAsync([released = std::move(view)] {});
}

namespace engine {

bool isStale(std::int64_t execcounter) {
  return execcounter != processState().execcounter();
}

void guarded(std::string_view stage, const std::function<void()>& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    QivUtil::addLog(std::string(stage) + " failed : " + e.what());
  }
}

}  // namespace engine

AsyncTask::AsyncTask() : state_(std::make_shared<State>()) {}

AsyncTask::~AsyncTask() {
  criteria::stopShakeTrigger(*state_);
}

void AsyncTask::executeParameters(std::string_view url, const ViewControllerPtr& view,
                                  const StringMap& client_map, std::int64_t execcounter) {
  engine::guarded("executeParameters", [&] {
    engine::executeParameters(
        state_, engine::PageView{std::string(url), ViewHandle(view), client_map, execcounter});
  });
}

void AsyncTask::doinBackground(std::string_view link, const ViewControllerPtr& view,
                               const StringMap& client_map, std::int64_t execcounter) {
  engine::guarded("doinBackground", [&] {
    engine::doinBackground(
        state_, engine::PageView{std::string(link), ViewHandle(view), client_map, execcounter});
  });
}

void AsyncTask::calledEvent(const ViewControllerPtr& view, const Value& params,
                            std::string_view link, std::string_view eventName,
                            std::string_view function_param, const StringMap& client_map,
                            std::int64_t execcounter) {
  engine::guarded("calledEvent", [&] {
    engine::calledEvent(state_, view, params, link, eventName, function_param, client_map,
                        execcounter);
  });
}

void AsyncTask::_sc(const Value& params) {
  engine::guarded("_sc", [&] { engine::applyCookieInstruction(params); });
}

void AsyncTask::_sl(const Value& params) {
  engine::guarded("_sl", [&] { engine::applyCookieInstruction(params); });
}

void AsyncTask::checkEvent(std::string_view uvp, std::string_view zbid, std::string_view shCnt,
                           const Value& params, const ViewControllerPtr& view,
                           std::string_view link, const StringMap& client_map) {
  engine::guarded("checkEvent",
                  [&] { criteria::checkEvent(uvp, zbid, shCnt, params, view, link, client_map); });
}

double AsyncTask::shkThr() const {
  return state_->shkThr;
}

void AsyncTask::setShkThr(double threshold) {
  state_->shkThr = threshold;
}

void AsyncTask::setBannerInsets(std::int64_t s_btm, std::int64_t s_top) {
  state_->s_btm = s_btm;
  state_->s_top = s_top;
}

std::string AsyncTask::eventName() const {
  return state_->eventName;
}

std::string AsyncTask::function_name() const {
  return state_->function_name;
}

Value AsyncTask::params() const {
  return state_->params;
}

std::string AsyncTask::link() const {
  return state_->link;
}

}  // namespace tavrino
