// Values: their text, numbers in texts, and JSON from outside, which must
// not exhaust the stack or memory.

#include <gtest/gtest.h>

#include "core/json/json_limits.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/value.hpp"

namespace tavrino {
namespace {

TEST(DescribeTest, GivesTheTextualFormOfEachKindAndNoneOfHostileNesting) {
  const Value kinds = Value::array({"abc", -3, 18446744073709551615ull, 2.0, 0.1, true, false,
                                    Value::parse(R"({"a":[1,"x"]})")});
  std::string texts;
  for (const Value& value : kinds) texts += describe(value) + " ";
  EXPECT_EQ(texts, R"(abc -3 18446744073709551615 2 0.1 1 0 {"a":[1,"x"]} )");
  // Answers come from the network: nesting that no stored value could have
  // must not exhaust the stack when it is read.
  const std::size_t depth = 200000;
  Value deep = Value::parse(std::string(depth, '[') + std::string(depth, ']'));
  EXPECT_EQ(describe(deep), "");
  Value params = Value::object();
  params["k"] = std::move(deep);  // a copy would recurse too
  EXPECT_EQ(Util::tryCatch(params, "k", "d"), "d");
}

TEST(ParseNumberTest, AcceptsDecimalNumbersOnlyAndTryCatchFollowsTheTextRule) {
  double d = 0;
  EXPECT_TRUE(parseNumber("+2e3", &d) && d == 2000);
  for (const char* bad : {"", "1-2", " 1", "1 ", "inf", "nan", "1e", "1e999"}) {
    EXPECT_FALSE(parseNumber(bad, &d)) << bad;
  }
  std::int64_t i = 0;
  EXPECT_TRUE(parseInteger("+7", &i) && i == 7);
  for (const char* bad : {"", "+", "1.0", "99999999999999999999", "-+1", "1a"}) {
    EXPECT_FALSE(parseInteger(bad, &i)) << bad;
  }
  // tryCatch follows the text value rule.
  const Value params = {{"blank", " "}, {"null", nullptr}, {"zero", 0}, {"two", "  "}};
  std::string found;
  for (const char* key : {"absent", "blank", "null", "zero", "two"}) {
    found += Util::tryCatch(params, key, "d") + "|";
  }
  EXPECT_EQ(found, "d|d|d|0|  |");
  EXPECT_EQ(Util::tryCatch(Value::array({1}), "n", "d"), "d");  // not a map
}

class JsonHelpersTest : public testing::SdkTest {
 protected:
  static Data bytes(std::string_view text) { return Data(text.begin(), text.end()); }
};

// Text maps take texts only, array parsers check the shape of every element,
// and writing fails softly on text that is not UTF-8.
TEST_F(JsonHelpersTest, ParsersCheckTheShapeAndWritingFailsSoftly) {
  EXPECT_EQ(Util::parseJSONObjectFromString(R"({"a":"x","b":"y"})"),
            (StringMap{{"a", "x"}, {"b", "y"}}));
  EXPECT_TRUE(Util::parseJSONObjectFromString(R"({"a":1})").empty());
  EXPECT_TRUE(log().consoleContains("bad json"));
  EXPECT_EQ(Util::parseJSONArray(std::string_view("garbage")), Value::array());
  EXPECT_TRUE(log().consoleContains("Error handled = "));
  EXPECT_TRUE(Util::parseJSONArrayFromString(R"([{"a":1}])").empty());
  EXPECT_EQ(Util::parseJSONMutableArrayFromString2(R"([{"a":1}, 2])"), Value::array());
  EXPECT_EQ(Util::parseMutableDictionaryToString({{"a", "\xff"}}), "");
  EXPECT_TRUE(log().consoleContains("JSON Failure"));
}

TEST_F(JsonHelpersTest, NestingAndSizeLimitsAreExactAndRefusalsAreLogged) {
  enableDebugLog();
  const auto nested = [](std::size_t depth) {
    return std::string(depth, '[') + "1" + std::string(depth, ']');
  };
  EXPECT_EQ(Util::parseJSONArray(std::string_view(nested(256))), Value::parse(nested(256)));
  EXPECT_FALSE(log().contains("JSON refused"));
  EXPECT_EQ(Util::parseJSONObject(bytes("{\"a\":" + nested(256) + "}")), Value::object());
  EXPECT_TRUE(log().contains("JSON refused: nested more than 256 deep"));
  // Far deeper than the stack allows, through every parser.
  EXPECT_TRUE(Util::parseJSONMutableArrayFromString(nested(100000)).empty());
  Value deepMap = Value::object();
  deepMap["deep"] = Value::parse(nested(100000));
  EXPECT_EQ(Util::parseMutableDictionaryToString(deepMap), "");
  // Brackets inside strings are text, not nesting.
  const std::string quoted = "[\"" + std::string(1000, '[') + "\\\"\"]";
  EXPECT_EQ(Util::parseJSONArray(std::string_view(quoted)).size(), 1u);

  // A text larger than the cap is refused unparsed: a well-formed answer of
  // exactly the cap parses; one byte more does not.
  log().clear();
  std::string atCap = "[\"" + std::string(json::kMaxTextBytes - 4, 'x') + "\"]";
  ASSERT_EQ(atCap.size(), json::kMaxTextBytes);
  EXPECT_EQ(Util::parseJSONArray(std::string_view(atCap)).size(), 1u);
  EXPECT_FALSE(log().contains("JSON refused"));

  std::string overCap = "[\"" + std::string(json::kMaxTextBytes - 3, 'x') + "\"]";
  EXPECT_EQ(Util::parseJSONArray(std::string_view(overCap)), Value::array());
  EXPECT_TRUE(log().contains("JSON refused: 8388609 bytes, more than 8388608"));
  EXPECT_TRUE(log().consoleContains("Error handled = JSON refused"));

  std::string objectOverCap = "{\"a\":\"" + std::string(json::kMaxTextBytes, 'x') + "\"}";
  EXPECT_EQ(Util::parseMutableJSONObjectFromString(objectOverCap), Value::object());
}

}  // namespace
}  // namespace tavrino
