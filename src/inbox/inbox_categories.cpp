// The service's category list, with the local categories as the fallback.
//
// The fetch goes to the URL session directly instead of through
// AsyncTask::getDataFromUrl, whose completion runs only when data arrived: a
// failed request must still call back (with the local categories).

#include <algorithm>
#include <chrono>

#include "core/shared_configuration.hpp"
#include "core/transport/request_timeout.hpp"
#include "inbox/inbox_keys.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

// One entry per element of a JSON array answer: its "NAME" when that is text,
// else the empty text. Nothing for an answer that is no array.
std::vector<std::string> categoriesOfAnswer(const std::optional<Data>& data) {
  std::vector<std::string> categories;
  if (!data) return categories;
  const Value answer = Util::parseJSONArray(*data);
  for (const auto& element : answer) {
    const auto name = element.is_object() ? element.find("NAME") : element.end();
    categories.push_back(name != element.end() && name->is_string()
                             ? name->get_ref<const std::string&>()
                             : std::string());
  }
  return categories;
}

}  // namespace

void QivInbox::getCategoryListwithAPI(CategoryCallback category_callback) {
  QivUtil::addLog("getCategoryListwithAPI called.");
  recordStep("getCategoryListWith API called");
  initStorageForQivInbox();  // resolves the store name now, for the copy below

  // The completion works on a copy: this object may be gone by then.
  auto answered = [local = *this, callback = std::move(category_callback)](
                      std::vector<std::string> categories) mutable {
    if (categories.empty()) categories = local.getCategoryList();
    if (Util::readDefault(inbox::kCategoryCallbackSwitch) == "0") return;
    if (callback) callback(categories);
  };

  // A URL that does not form fails in the session too, on its thread.
  platform::URLRequest request;
  request.url = Util::createRequest("inboxlist", {});
  request.timeout = configuredRequestTimeout();
  platform::current().urlSession().dataTask(
      std::move(request), [answered = std::move(answered)](
                              std::optional<Data> data, std::optional<platform::URLResponse>,
                              std::optional<platform::URLError> error) mutable {
        if (error) {
          QivUtil::addLog("getCategoryListwithAPI request failed : " + error->localizedDescription);
        }
        answered(categoriesOfAnswer(data));
      });
}

}  // namespace tavrino
