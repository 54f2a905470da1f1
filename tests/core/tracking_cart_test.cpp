#include <gtest/gtest.h>

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
  client_->addItem("", "2", "1", "c", "t");
  client_->addItem("p", "", "1", "c", "t");
  client_->addItem("p", "0", "1", "c", "t");
  client_->addItem("p", "0.001", "1", "c", "t");  // rounds to nothing
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
}

TEST_F(TrackingCartTest, ExtraParametersThatCannotBeWrittenAreLeftOut) {
  client_->addItem("p", "1", "2", "c", "t", Value{{"bad", "\xff"}});
  client_->addItem("q", "1", "2", "c", "t", Value::object());
  client_->addItem("r", "1", "2", "c", "t", Value::array({1}));
  EXPECT_TRUE(log().consoleContains("JSON convert error"));
  EXPECT_EQ(pending(),
            (std::vector<std::string>{R"({"id":"p","prc":"2","qnt":"1.0","cat":"c","ttl":"t"})",
                                      R"({"id":"q","prc":"2","qnt":"1.0","cat":"c","ttl":"t"})",
                                      R"({"id":"r","prc":"2","qnt":"1.0","cat":"c","ttl":"t"})"}));
}

TEST_F(TrackingCartTest, NumberFormatAppliesTheOperationAndFormats) {
  enableDebugLog();
  EXPECT_EQ(Tavrino::numberFormat({{"o", "%"}, {"y", "10"}}, "200"), "180,00");
  EXPECT_TRUE(log().contains("group separator : .decimal separator : ,"));
  EXPECT_TRUE(log().contains("formatted price : 180,00"));

  struct Case {
    Value format;
    const char* price;
    const char* expected;
  };
  const Case cases[] = {
      {Value::object(), "1234567.891", "1.234.567,89"},  // "%" with 0 off
      {{{"o", "abc"}}, "5", "0,00"},
      {{{"o", "*"}, {"y", 3}}, "2.5", "7,50"},
      {{{"o", "*"}, {"y", "x"}}, "2.5", "2,50"},
      {{{"o", "/"}, {"y", "4"}}, "10", "2,50"},
      {{{"o", "/"}, {"y", "0"}}, "10", "10,00"},  // no division by zero
      {{{"o", "/"}, {"y", "x"}}, "10", "10,00"},
      {{{"o", "-"}, {"y", "0.5"}}, "10", "9,50"},
      {{{"o", "+"}, {"y", "x"}}, "10", "10,00"},
      {{{"o", "%"}, {"y", "10.5"}}, "200", "200,00"},  // not a whole percentage
      {{{"o", "%"}, {"y", "-9223372036854775808"}}, "1", "92.233.720.368.547.760,00"},
      {{{"decimal", "0"}}, "1234.5", "1.235"},
      {{{"decimal", "x"}}, "1234.56", "1.234,6"},
      {{{"decimal", "-3"}}, "1234.56", "1.235"},
      {{{"decimal", "1000"}}, "1", "1,00000000000000000000"},  // capped at 20
      {{{"tseperator", ","}, {"dseperator", "."}}, "9876543.21", "9,876,543.21"},
      {{{"tseperator", "'"}, {"decimal", 3}}, "1000", "1'000,000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Tavrino::numberFormat(c.format, c.price), c.expected)
        << c.format.dump() << " " << c.price;
  }
}

TEST_F(TrackingCartTest, NumberFormatRoundsHalvesAwayFromZero) {
  const Value one = {{"o", "*"}, {"y", "1"}};
  EXPECT_EQ(Tavrino::numberFormat(one, "1.005"), "1,01");
  EXPECT_EQ(Tavrino::numberFormat(one, "-1.005"), "-1,01");
  EXPECT_EQ(Tavrino::numberFormat(one, "2.675"), "2,68");
  EXPECT_EQ(Tavrino::numberFormat(one, "999.995"), "1.000,00");
  EXPECT_EQ(Tavrino::numberFormat(one, "-999999.999"), "-1.000.000,00");
  EXPECT_EQ(Tavrino::numberFormat(one, "1.004"), "1,00");
  EXPECT_EQ(Tavrino::numberFormat(one, "-0.004"), "0,00");  // no negative zero
  EXPECT_EQ(Tavrino::numberFormat({{"decimal", "0"}, {"o", "*"}, {"y", 1}}, "-2.5"), "-3");
  // 0.1 + 0.2 is not exactly 0.3 in binary; the price still is.
  EXPECT_EQ(Tavrino::numberFormat({{"o", "+"}, {"y", "0.2"}}, "0.1"), "0,30");
}

TEST_F(TrackingCartTest, NumberFormatRejectsWhatIsNoPrice) {
  for (const char* price : {"", "abc", "1,5", "12 ", "inf", "nan", "1e999"}) {
    EXPECT_EQ(Tavrino::numberFormat(Value::object(), price), "0") << price;
  }
  // Arithmetic that overflows has no price to show.
  EXPECT_EQ(Tavrino::numberFormat({{"o", "*"}, {"y", "1e308"}}, "1e308"), "0");
  EXPECT_EQ(Tavrino::numberFormat("not a map", "5"), "5,00");
}

}  // namespace
}  // namespace tavrino
