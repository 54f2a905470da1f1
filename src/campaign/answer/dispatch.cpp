// Dispatch of one campaign on the main thread, by the event kind that arms it
// and its function.

#include <string>

#include "campaign/answer/engine_state.hpp"
#include "campaign/ui_sb_start.hpp"
#include "tavrino/campaign/add_act.hpp"
#include "tavrino/campaign/add_lbl.hpp"
#include "tavrino/campaign/ui_sb.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/invocation.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::engine {
namespace {

// A badge of style "aich" first asks the host to prepare the screen.
void callPreInlineFunction(const ViewControllerPtr& view, const Value& params) {
  const auto run = params.find("run");
  if (run == params.end() || !run->is_object()) {
    QivUtil::addLog("pre inline function skipped. run is not an object");
    return;
  }
  const std::string method = Util::tryCatch(*run, "pre_inline_function", "");
  if (method.empty()) return;
  Util::invokeSomeMethod(method, *run, view ? view->className() : std::string(), view);
}

}  // namespace

void calledEvent(const std::shared_ptr<EngineState>& state, const ViewControllerPtr& view,
                 const Value& params, std::string_view link, std::string_view eventName,
                 std::string_view function_param, const StringMap& client_map,
                 std::int64_t execcounter, const Prepared& prepared) {
  if (isStale(execcounter)) {
    QivUtil::addLog("calledEvent execcount did not match");
    return;
  }
  if (function_param == "ui_sb" && Util::tryCatch(params, "bsc", "") == "aich") {
    callPreInlineFunction(view, params);
  }
  const std::string uvp = Util::tryCatch(params, "uvp", "");
  const std::string zbid = Util::tryCatch(params, "zbid", "0");
  const std::string shCnt = Util::tryCatch(params, "shCnt", "99999");
  auto& s = *state;
  s.eventName = std::string(eventName);
  s.function_name = std::string(function_param);
  s.uvp = uvp;
  s.zbid = zbid;
  s.shCnt = shCnt;
  s.params = params;
  s.link = std::string(link);

  // Local copies: the host code that runs from here may dispatch again.
  if (eventName == "PAGEVIEW") {
    if (function_param == "ui_sb") {
      StringMap map = client_map;
      map["_execcounter"] = std::to_string(execcounter);
      if (!criteria::decideShow(uvp, zbid, shCnt, params, map)) return;
      if (prepared.presentAfterCommit && presentsAtOnce(params)) {
        *prepared.presentAfterCommit = [params, view, link = std::string(link), map] {
          ui_sb().setParameters(params, view, link, map);
        };
      } else {
        ui_sb().setParameters(params, view, link, map);
      }
    } else if (function_param == "add_act") {
      add_act().execute(params, link, view, client_map);
    } else if (function_param == "add_lbl") {
      add_lbl().execute(params, client_map, view);
    }
  } else if (eventName == "SHAKE") {
    criteria::startShakeTrigger(state, view, client_map);
  } else if (eventName == "CUSTOMEVENT") {
    if (!prepared.filed) fileCustomEventCampaign(function_param, s.params);
  }
}

void dispatchRun(const std::shared_ptr<EngineState>& state, const PageView& page,
                 const AnswerRun& run) {
  const auto& campaigns = run.campaigns;
  std::function<void()> presentLast;
  std::size_t next = 0;
  const auto dispatchNext = [&](std::function<void()>* presentAfterCommit) {
    const AnswerCampaign& c = campaigns[next++];
    platform::labelMainTask(c.function, Util::tryCatch(c.params, "zbid", "0"));
    guarded("calledEvent", [&] {
      calledEvent(state, page.view.get(), c.params, page.link, c.kind, c.function, page.client_map,
                  page.execcounter, {c.filed, presentAfterCommit});
    });
  };
  if (run.inOneTransaction) {
    Util::qivDefaults()->transaction([&] {
      while (next < campaigns.size()) dispatchNext(&presentLast);
    });
  }
  // Outside a transaction, or the store could not begin one: one by one.
  while (next < campaigns.size()) dispatchNext(nullptr);
  if (presentLast) guarded("calledEvent", presentLast);
}

}  // namespace tavrino::engine
