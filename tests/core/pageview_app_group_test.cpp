// The app group's copy of the visitor: made at a page view, written only when
// it differs from what the group's suite holds, and put right again when
// something else changed it.

#include <gtest/gtest.h>

#include "core/pageview_test.hpp"
#include "tavrino/platform/platform.hpp"

namespace tavrino {
namespace {

class AppGroupCopyTest : public testing::PageviewTest {
 protected:
  static std::shared_ptr<platform::UserDefaultsSuite> group() {
    return platform::current().userDefaults().suite("group.demo");
  }
  static std::string inGroup(std::string_view key) {
    return group()->string(key).value_or("<absent>");
  }
};

TEST_F(AppGroupCopyTest, CopiesTheVisitorAndMemberOnlyWhenTheyDifferFromTheGroupsCopy) {
  view({{"p", "Home"}});
  EXPECT_EQ(inGroup("uid"), "<absent>");  // no group, no copy
  // Naming a group later copies at the next page view.
  Util::setCookieToQIVDefaults("qiv_inbox_groupname", "group.demo");
  view({{"p", "Home"}});
  const std::string uid = stored("uid");
  ASSERT_FALSE(uid.empty());
  EXPECT_EQ(inGroup("uid"), uid);
  EXPECT_EQ(inGroup("cuid"), "<absent>");

  view({{"p", "Home"}, {"cuid", "m1"}});
  EXPECT_EQ(inGroup("cuid"), "m1");
  const std::uint64_t before = group()->changeCount();
  view({{"p", "Next"}, {"cuid", "m1"}});
  view({{"p", "Next"}});  // no member: the last one stays
  EXPECT_EQ(group()->changeCount(), before);
  EXPECT_EQ(inGroup("cuid"), "m1");

  // A copy changed elsewhere is put right.
  group()->set("uid", Value("someone else"));
  group()->set("cuid", Value(7));  // not even a text
  view({{"p", "Home"}, {"cuid", "m1"}});
  EXPECT_EQ(inGroup("uid"), uid);
  EXPECT_EQ(inGroup("cuid"), "m1");
  view({{"p", "Next"}, {"cuid", "m2"}});
  EXPECT_EQ(inGroup("cuid"), "m2");
  // A host's "_anid" replaces the visitor id: the group follows.
  view({{"p", "Home"}, {"_anid", "anon-1"}});
  EXPECT_EQ(inGroup("uid"), "anon-1");
}

}  // namespace
}  // namespace tavrino
