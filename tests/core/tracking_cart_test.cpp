#include <gtest/gtest.h>

#include <tuple>

#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/client.hpp"

namespace tavrino {
namespace {

class TrackingCartTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    client_ = std::make_unique<Tavrino>("http://127.0.0.1:9/", "1", "0");
  }
  static std::vector<std::string> pending() {
    return processState().withConfig([](SharedConfiguration& c) { return c.pendingItems; });
  }
  static void setDecimalChar(const std::string& c) {
    processState().withConfig([&](SharedConfiguration& config) { config.decimalChar = c; });
  }
  std::unique_ptr<Tavrino> client_;
};

TEST_F(TrackingCartTest, PricesAndQuantitiesAreCleanedAndRounded) {
  setDecimalChar(",");
  client_->addItem("p1", "2", "1.234,50 EUR", "shoes", "Boot");
  client_->addItem("p2", "1,255", "abc", "c", "t");
  setDecimalChar(".");
  client_->addItem("p3", "-2.499", "9.99", "c", "t");
  client_->addItem("p4", "3 pcs", "", "c", "t");
  EXPECT_EQ(pending(), (std::vector<std::string>{
                           R"({"id":"p1","prc":"1234.50","qnt":"2.0","cat":"shoes","ttl":"Boot"})",
                           R"({"id":"p2","prc":"0","qnt":"1.25","cat":"c","ttl":"t"})",
                           R"({"id":"p3","prc":"9.99","qnt":"2.5","cat":"c","ttl":"t"})",
                           R"({"id":"p4","prc":"0","qnt":"3.0","cat":"c","ttl":"t"})"}));
}

TEST_F(TrackingCartTest, ItemsWithoutIdOrQuantityAreNotAdded) {
  enableDebugLog();
  for (const char* quantity : {"", "0", "0.001"}) client_->addItem("p", quantity, "1", "c", "t");
  client_->addItem("", "2", "1", "c", "t");
  EXPECT_TRUE(pending().empty());
  EXPECT_TRUE(
      log().contains("addItem called with --> productId :  quantity : 2 price : 1 "
                     "category : c title : t adetaildecimalchar : ."));
  EXPECT_FALSE(log().contains("add item. item string"));
}

TEST_F(TrackingCartTest, MembersAreEscapedJsonInTheirOrder) {
  client_->addItem("a\"b", "1", "2", "back\\slash", "He said \"hi\"\n\x01\xff",
                   Value{{"color", "red"}, {"n", 2}});
  ASSERT_EQ(pending().size(), 1u);
  const Value item = Value::parse(pending()[0]);  // throws if the text is broken
  std::vector<std::string> keys;
  for (const auto& member : item.items()) keys.push_back(member.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"id", "prc", "qnt", "cat", "ttl", "ep"}));
  EXPECT_EQ(item["id"], "a\"b");
  EXPECT_EQ(item["cat"], "back\\slash");
  EXPECT_EQ(item["ttl"], "He said \"hi\"\n\x01\xEF\xBF\xBD");  // the bad byte replaced
  EXPECT_EQ(item["ep"], (Value{{"color", "red"}, {"n", 2}}));

  // Extra parameters that cannot be written, or say nothing, are left out.
  processState().withConfig([](SharedConfiguration& c) { c.pendingItems.clear(); });
  for (const Value& ep : {Value{{"bad", "\xff"}}, Value::object(), Value::array({1})}) {
    client_->addItem("p", "1", "2", "c", "t", ep);
  }
  EXPECT_TRUE(log().consoleContains("JSON convert error"));
  const std::string plain = R"({"id":"p","prc":"2","qnt":"1.0","cat":"c","ttl":"t"})";
  EXPECT_EQ(pending(), (std::vector<std::string>{plain, plain, plain}));
}

TEST_F(TrackingCartTest, NumberFormatAppliesTheOperationRoundsAndFormats) {
  enableDebugLog();
  EXPECT_EQ(Tavrino::numberFormat({{"o", "%"}, {"y", "10"}}, "200"), "180,00");
  EXPECT_TRUE(log().contains("group separator : .decimal separator : ,"));
  EXPECT_TRUE(log().contains("formatted price : 180,00"));

  const Value one = {{"o", "*"}, {"y", "1"}};
  const std::tuple<Value, const char*, const char*> cases[] = {
      {Value::object(), "1234567.891", "1.234.567,89"},  // "%" with 0 off
      {{{"o", "abc"}}, "5", "0,00"},
      {{{"o", "*"}, {"y", 3}}, "2.5", "7,50"},
      {{{"o", "*"}, {"y", "x"}}, "2.5", "2,50"},
      {{{"o", "/"}, {"y", "4"}}, "10", "2,50"},
      {{{"o", "/"}, {"y", "0"}}, "10", "10,00"},  // no division by zero
      {{{"o", "-"}, {"y", "0.5"}}, "10", "9,50"},
      {{{"o", "%"}, {"y", "10.5"}}, "200", "200,00"},  // not a whole percentage
      {{{"o", "%"}, {"y", "-9223372036854775808"}}, "1", "92.233.720.368.547.760,00"},
      {{{"decimal", "0"}}, "1234.5", "1.235"},
      {{{"decimal", "x"}}, "1234.56", "1.234,6"},
      {{{"decimal", "1000"}}, "1", "1,00000000000000000000"},  // capped at 20
      {{{"tseperator", ","}, {"dseperator", "."}}, "9876543.21", "9,876,543.21"},
      {{{"tseperator", "'"}, {"decimal", 3}}, "1000", "1'000,000"},
      // Halves round away from zero, in decimal rather than binary.
      {one, "1.005", "1,01"},
      {one, "-1.005", "-1,01"},
      {one, "2.675", "2,68"},
      {one, "999.995", "1.000,00"},
      {one, "-0.004", "0,00"},  // no negative zero
      {{{"decimal", "0"}, {"o", "*"}, {"y", 1}}, "-2.5", "-3"},
      {{{"o", "+"}, {"y", "0.2"}}, "0.1", "0,30"},
      // What is no price, or overflows, shows nothing.
      {Value::object(), "", "0"},
      {Value::object(), "1,5", "0"},
      {Value::object(), "inf", "0"},
      {Value::object(), "1e999", "0"},
      {{{"o", "*"}, {"y", "1e308"}}, "1e308", "0"},
      {"not a map", "5", "5,00"},
  };
  for (const auto& [format, price, expected] : cases) {
    EXPECT_EQ(Tavrino::numberFormat(format, price), expected) << format.dump() << " " << price;
  }
}

}  // namespace
}  // namespace tavrino
