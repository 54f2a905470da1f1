#include <gtest/gtest.h>

#include "tavrino/util/json_helpers.hpp"
#include "tavrino/value.hpp"

namespace tavrino {
namespace {

TEST(DescribeTest, GivesTheTextualFormOfEachKind) {
  EXPECT_EQ(describe("abc"), "abc");
  EXPECT_EQ(describe(15), "15");
  EXPECT_EQ(describe(-3), "-3");
  EXPECT_EQ(describe(18446744073709551615ull), "18446744073709551615");
  EXPECT_EQ(describe(2.0), "2");
  EXPECT_EQ(describe(1.5), "1.5");
  EXPECT_EQ(describe(0.1), "0.1");
  EXPECT_EQ(describe(true), "1");
  EXPECT_EQ(describe(false), "0");
  EXPECT_EQ(describe(Value::parse(R"({"a":[1,"x"]})")), R"({"a":[1,"x"]})");
}

TEST(ParseNumberTest, AcceptsDecimalNumbersOnly) {
  double d = 0;
  EXPECT_TRUE(parseNumber("1234", &d));
  EXPECT_EQ(d, 1234);
  EXPECT_TRUE(parseNumber("-1.5", &d));
  EXPECT_EQ(d, -1.5);
  EXPECT_TRUE(parseNumber("+2e3", &d));
  EXPECT_EQ(d, 2000);
  for (const char* bad : {"", "-", "1-2", " 1", "1 ", "abc", "inf", "nan", "1e", ".", "1e999"}) {
    EXPECT_FALSE(parseNumber(bad, &d)) << bad;
  }
  std::int64_t i = 0;
  EXPECT_TRUE(parseInteger("-42", &i));
  EXPECT_EQ(i, -42);
  EXPECT_TRUE(parseInteger("+7", &i));
  EXPECT_EQ(i, 7);
  for (const char* bad : {"", "+", "1.0", "99999999999999999999", "-+1", "+-5", "++5", "1a"}) {
    EXPECT_FALSE(parseInteger(bad, &i)) << bad;
  }
}

TEST(TryCatchTest, FollowsTheTextValueRule) {
  const Value params = {{"blank", " "}, {"empty", ""}, {"null", nullptr}, {"zero", 0},
                        {"n", 15},      {"text", "x"}, {"flag", true},    {"two", "  "}};
  const std::pair<const char*, const char*> cases[] = {
      {"absent", "d"}, {"blank", "d"}, {"empty", "d"}, {"null", "d"}, {"zero", "0"},
      {"n", "15"},     {"text", "x"},  {"flag", "1"},  {"two", "  "}};
  for (const auto& [key, expected] : cases) EXPECT_EQ(Util::tryCatch(params, key, "d"), expected);
  EXPECT_EQ(Util::tryCatch(Value::array({1}), "n", "d"), "d");  // not a map
}

// Answers come from the network: nesting that no stored value could have must
// not exhaust the stack when it is read.
TEST(DescribeTest, HostileNestingHasNoDescription) {
  const std::size_t depth = 200000;
  Value deep = Value::parse(std::string(depth, '[') + std::string(depth, ']'));
  EXPECT_EQ(describe(deep), "");
  Value params = Value::object();
  params["k"] = std::move(deep);  // a copy would recurse too
  EXPECT_EQ(Util::tryCatch(params, "k", "d"), "d");
  EXPECT_EQ(describe(Value::parse("[[[1]]]")), "[[[1]]]");
}

}  // namespace
}  // namespace tavrino
