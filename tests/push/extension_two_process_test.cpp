// The extension runs in a process of its own (the example program) over the
// application's data directory; the application then sees what it stored.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "desktop_session/helper_process.hpp"
#include "push/extension_buttons.hpp"
#include "push/push_payload_test.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"

namespace tavrino {
namespace {

using testing::PushPayloadTest;

TEST_F(PushPayloadTest, ExtensionProcessFillsTheSharedInboxForTheApp) {
  client().setAppGroupName("group.shared");
  client().enableAppInbox();
  const Value payload = {{"aps", {{"alert", {{"title", "Sale"}, {"body", "Today only"}}}}},
                         {"zbid", "77"},
                         {"qivibxmt", "deals"},
                         {"qivibxttl", "60"},
                         {"m", "/img/a.png"},
                         {"actionButtons", {{{"id", "b1"}, {"title", "Open"}}}}};
  const auto payloadFile = dataDirectory() / "payload.json";
  std::ofstream(payloadFile) << payload.dump();

  testing::HelperProcess extension(
      TAVRINO_NOTIFICATION_EXTENSION_PATH,
      {"--data-dir", dataDirectory().string(), "--base-url", baseUrl, "--company", "1", "--group",
       "group.shared", "--cdn", baseUrl, payloadFile.string()});
  // The SDK's console lines share the output; the result is the four
  // labelled lines.
  std::map<std::string, std::string> result;
  while (auto line = extension.readLine(std::chrono::seconds(20))) {
    const auto colon = line->find(": ");
    if (colon != std::string::npos) result[line->substr(0, colon)] = line->substr(colon + 2);
  }
  const std::filesystem::path attachment = result["attachment"];
  EXPECT_EQ(attachment.filename(), "qiv_img_77.jpg");
  EXPECT_TRUE(std::filesystem::is_regular_file(attachment));
  if (attachment.parent_path().filename().string().starts_with("tavrino-")) {
    std::filesystem::remove_all(attachment.parent_path());
  }
  ASSERT_EQ(extension.wait(), 0);
  EXPECT_EQ(result["title"], "Sale");
  EXPECT_EQ(result["body"], "Today only");
  EXPECT_EQ(result["category"], "77");

  // The delivery report went out before the process ended.
  const auto views = service.requests("/t");
  ASSERT_EQ(views.size(), 1u);
  EXPECT_EQ(views[0].queryValue("qivcfrom"), "pushview");

  QivInbox inbox;
  const auto messages = inbox.getAllMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "77");
  EXPECT_EQ(messages[0].category, "deals");

  const auto categories = push::decodeCategories(
      platform::current().userDefaults().suite("group.shared")->object("_ntf_categories").value());
  ASSERT_EQ(categories.size(), 1u);
  EXPECT_EQ(categories[0].identifier, "77");
}

}  // namespace
}  // namespace tavrino
