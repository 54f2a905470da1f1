// Placeholders for the page view, answer processing and show criteria; each
// is replaced by its real module.

#include "tavrino/async_task.hpp"
#include "tavrino/campaign/ui_sb.hpp"
#include "tavrino/client.hpp"
#include "tavrino/qiv_util.hpp"

namespace tavrino {

struct AsyncTask::State {
  double shkThr = 1.0;
};

AsyncTask::AsyncTask() : state_(std::make_shared<State>()) {}
AsyncTask::~AsyncTask() = default;
void AsyncTask::executeParameters(std::string_view, const ViewControllerPtr&, const StringMap&,
                                  std::int64_t) {}
void AsyncTask::doinBackground(std::string_view, const ViewControllerPtr&, const StringMap&,
                               std::int64_t) {}
void AsyncTask::calledEvent(const ViewControllerPtr&, const Value&, std::string_view,
                            std::string_view, std::string_view, const StringMap&, std::int64_t) {}
void AsyncTask::_sc(const Value&) {}
void AsyncTask::_sl(const Value&) {}
void AsyncTask::checkEvent(std::string_view, std::string_view, std::string_view, const Value&,
                           const ViewControllerPtr&, std::string_view, const StringMap&) {}
double AsyncTask::shkThr() const { return state_->shkThr; }
void AsyncTask::setShkThr(double threshold) { state_->shkThr = threshold; }
void AsyncTask::setBannerInsets(std::int64_t, std::int64_t) {}
std::string AsyncTask::eventName() const { return "PAGEVIEW"; }
std::string AsyncTask::function_name() const { return {}; }
Value AsyncTask::params() const { return Value::object(); }
std::string AsyncTask::link() const { return {}; }

void Tavrino::execute(const ViewControllerPtr&, const StringMap&) {}
void Tavrino::execute(const ViewControllerPtr&, const StringMap&, std::string_view) {}
void Tavrino::virtual_execute(const ViewControllerPtr&, const StringMap&) {}
void Tavrino::onChangeState() {}
void Tavrino::activateListingBadge(const ViewControllerPtr&, const StringMap&) {}

void ui_sb::setParameters(const Value&, const std::shared_ptr<ui::ViewController>&,
                          std::string_view, const StringMap&) {
  QivUtil::addLog("ui_sb setParameters called.");
}
std::string ui_sb::getAISBadgeImageUrl(const Value&) { return {}; }

}  // namespace tavrino
