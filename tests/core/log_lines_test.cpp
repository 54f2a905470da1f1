// The log lines and steps that hosts and support staff read, exactly as they
// read them, in the order they come.

#include <gtest/gtest.h>

#include <algorithm>

#include "core/shared_configuration.hpp"
#include "support/service_test.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/client.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

// Returns true iff wanted occurs in seen in order (other entries between).
bool inOrder(const std::vector<std::string>& seen, const std::vector<std::string>& wanted) {
  auto next = seen.begin();
  for (const auto& text : wanted) {
    next = std::find(next, seen.end(), text);
    if (next == seen.end()) return false;
    ++next;
  }
  return true;
}

std::string joined(const std::vector<std::string>& texts) {
  std::string all;
  for (const auto& text : texts) all += "\n  " + text;
  return all;
}

class LogLinesTest : public testing::ServiceTest {};

TEST_F(LogLinesTest, LinesAndStepsAreExact) {
  struct Row {
    const char* what;
    std::function<void()> action;
    std::vector<std::string> lines;  // "{}" stands for the action's result
    std::vector<std::string> steps;
  };
  std::string result;
  const std::string avfUrl = baseUrl + "t?&avf=1";
  const Value message{{"zbid", "m"}, {"qivibxtimeout", std::to_string(testing::kTestEpoch + 60)}};
  const std::vector<Row> rows = {
      {"setAppGroupName",
       [&] { Tavrino(baseUrl, "1", "0").setAppGroupName("group.a"); },
       {"setAppGroupName called. with groupname : group.a"},
       {"Create Instance"}},
      {"createRequest",
       [&] {
         result = Util::createRequest("inboxlist", {{"k", "v"}});
         result = result.substr(result.find('?') + 1);
       },
       {"createURLSuffix return --> {}", "create request called with : \nkey : k , value : v"},
       {}},
      {"getDataFromUrl",
       [&] { AsyncTask::getDataFromUrl(baseUrl + "d", {}); },
       {"getdatafromurlcalled : ", "getdatafromurlcalled : finished"},
       {}},
      {"getDataFromUrl_2",
       [&] { AsyncTask::getDataFromUrl_2("track", baseUrl + "t", {}); },
       {"getdatafromurlcalled2 : "},
       {"request finished. type is : track"}},
      {"avf",
       [&] {
         QivUtil().avf({{"avf_url", avfUrl}});
       },
       {"avf called.", "avf_url : " + avfUrl, "send request : " + avfUrl,
        "send request : urlsTring not nil", "getdatafromurlcalled2 : "},
       {"request start. type is : avf", "request finished. type is : avf"}},
      {"setMessage",
       [&] { QivInbox().setMessage(message); },
       {"getMessageCount called.", "getAllMessages called.",
        "getAppInboxHistorySize called. size : 20", "getCounts called.", "message callback null"},
       {"setMessage called", "getAllMessages called", "inbox message set"}},
      {"checkCallback",
       [] { QivInbox().checkCallback({}); },
       {"checkCallback called.", "checkMessages called."},
       {}},
      {"getExpiredMessagesByCategory",
       [] { QivInbox().getExpiredMessagesByCategory("c"); },
       {"getExpiredMessagesByCategory called."},
       {}},
      {"markReadMessage",
       [] { QivInbox().markReadMessage("m"); },
       {"getMessage called. id : m", "getCounts called."},
       {"markReadMessage called id : m", "setMessage called", "inbox message set"}},
      {"pop",
       [] { QivInbox().pop(); },
       {"QivInbox pop called.", "deleteMessage called. id : m"},
       {"QivInbox pop called."}},
  };

  enableDebugLog();
  for (const Row& row : rows) {
    log().clear();
    const std::size_t stepsBefore = processState().steps().size();
    row.action();
    std::vector<std::string> lines;
    for (std::string line : row.lines) {
      if (const auto at = line.find("{}"); at != std::string::npos) line.replace(at, 2, result);
      lines.push_back("tavrino_log : " + line);
    }
    auto newSteps = [&] {
      const auto steps = processState().steps();
      return std::vector<std::string>(steps.begin() + static_cast<long>(stepsBefore), steps.end());
    };
    EXPECT_TRUE(waitUntil([&] {
      return inOrder(log().lines(), lines) && inOrder(newSteps(), row.steps);
    })) << row.what
        << "\nlog:" << joined(log().lines()) << "\nsteps:" << joined(newSteps());
  }
}

}  // namespace
}  // namespace tavrino
