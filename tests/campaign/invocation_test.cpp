#include <stdexcept>

#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/platform/linux_system_info.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/util/invocation.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

using runtime::Registry;

// A host class that records what reached it.
class Cart : public runtime::Object {
 public:
  explicit Cart(std::string tag = "Cart") : tag_(std::move(tag)) {}
  std::string className() const override { return "Cart"; }
  void add(const Value& argument) { calls().push_back(tag_ + ":" + describe(argument)); }
  static std::vector<std::string>& calls() {
    static std::vector<std::string> recorded;
    return recorded;
  }

 private:
  std::string tag_;
};

class Screen : public ui::ViewController {
 public:
  Screen() : ViewController("CartScreen") {}
  std::vector<Value> received;
};

class InvocationTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    enableDebugLog();
    Registry::shared().resetForTesting();
    Cart::calls().clear();
  }
  void TearDown() override {
    Registry::shared().resetForTesting();
    SdkTest::TearDown();
  }

  static void setExecutable(std::optional<std::string> name) {
    dynamic_cast<platform::LinuxSystemInfo&>(platform::current().systemInfo())
        .setBundleInfo("CFBundleExecutable", std::move(name));
  }
  static void registerCart(const std::string& name) {
    Registry::shared().registerClass(name, [name] { return std::make_shared<Cart>(name); });
    Registry::shared().registerMethod<Cart>(name, "add", &Cart::add);
  }
  std::shared_ptr<Screen> screenWithRecorder() {
    auto screen = std::make_shared<Screen>();
    Registry::shared().registerMethod<Screen>(
        "CartScreen", "show", [](Screen& s, const Value& v) { s.received.push_back(v); });
    return screen;
  }
  static void allowFunctions(Value allowed) {
    processState().withConfig([&](SharedConfiguration& c) { c.allowedFunctions = allowed; });
  }
  static void allowDomains(std::vector<std::string> allowed) {
    processState().withConfig([&](SharedConfiguration& c) { c.allowedDomains = allowed; });
  }
  static Value run(Value functions) { return {{"id", "7"}, {"run", {{"functions", functions}}}}; }
  // One entry of a campaign's function list.
  static Value entry(const char* type, const char* name, const char* cls, Value param) {
    return {{"type", type}, {"name", name}, {"class", cls}, {"param", std::move(param)}};
  }
};

TEST_F(InvocationTest, ClassLookupPrefersTheQualifiedNameAndTheMethodsTypeDecides) {
  setExecutable("App");
  registerCart("Cart");
  EXPECT_EQ(Util::stringClassFromString("Cart"), "Cart");
  Util::invokeMethodFromName("add", "sku-1", "Cart");
  EXPECT_TRUE(log().contains("invokeMethodFromName called."));
  registerCart("App.Cart");
  EXPECT_EQ(Util::stringClassFromString("Cart"), "App.Cart");
  EXPECT_EQ(Util::stringClassFromString("Basket"), std::nullopt);
  Util::invokeMethodFromNameWithDictionary("add", Value{{"q", 2}}, "Cart");
  EXPECT_EQ(Cart::calls(), (std::vector<std::string>{"Cart:sku-1", "App.Cart:{\"q\":2}"}));

  Util::invokeMethodFromNameWithDictionary("remove", Value::object(), "Cart");
  EXPECT_TRUE(log().contains("method not found arg : remove:"));
  Util::invokeMethodFromName("add", "x", "Basket");
  EXPECT_TRUE(log().contains("classname not found in package : Basket"));
  EXPECT_EQ(Cart::calls().size(), 2u);

  setExecutable(std::nullopt);  // no executable name: bare names only
  EXPECT_EQ(Util::stringClassFromString("Cart"), "Cart");
  EXPECT_EQ(Util::stringClassFromString("QivUtil"), std::nullopt);
  EXPECT_EQ(Util::stringClassFromString("iOS_qiv.QivUtil"), "iOS_qiv.QivUtil");

  // Only registered methods of the right type are called.
  auto screen = screenWithRecorder();
  auto& registry = Registry::shared();
  EXPECT_TRUE(registry.respondsToSelector(*screen, "show:"));
  EXPECT_FALSE(registry.respondsToSelector(*screen, "show"));

  // A view controller that merely carries a registered class name is not
  // that class: the method's type decides.
  auto impostor = std::make_shared<ui::ViewController>("Cart");
  EXPECT_FALSE(registry.respondsToSelector(*impostor, "add:"));
  Util::invokeSomeMethod("add", Value::object(), "Cart", impostor);
  EXPECT_EQ(Cart::calls().size(), 2u);

  // A class known only by its methods has no instances to call.
  log().clear();
  Util::invokeMethodFromNameWithDictionary("show", Value::object(), "CartScreen");
  EXPECT_TRUE(log().contains("method not found arg : show:"));
  EXPECT_TRUE(screen->received.empty());

  Util::invokeSomeMethod("show", Value{{"a", 1}}, "Nowhere", screen);
  EXPECT_TRUE(log().contains("classname not found in package : Nowhere"));
  Util::invokeSomeMethod("show", Value{{"a", 1}}, "CartScreen", screen);
  ASSERT_EQ(screen->received.size(), 1u);
  EXPECT_EQ(screen->received[0], (Value{{"a", 1}}));
}

TEST_F(InvocationTest, ParamsAccumulateAcrossEntriesOfTheType) {
  auto screen = screenWithRecorder();
  QivUtil::run_functions(
      "A",
      run(Value::array({entry("C", "show", "", {{"c", 1}}),
                        entry("A", "show", "", {{"x", 1}}),
                        entry("A", "show", "CartScreen", {{"x", 2}, {"y", 3}}),
                        {{"type", "A"}, {"name", "show"}, {"class", "CartScreen"}}})),
      screen);
  EXPECT_TRUE(log().contains("run functions. did not matches types"));
  ASSERT_EQ(screen->received.size(), 3u);
  EXPECT_EQ(screen->received[0]["x"], 1);
  EXPECT_EQ(screen->received[0]["id"], "7");  // starts from the campaign's map
  EXPECT_FALSE(screen->received[0].contains("c"));
  EXPECT_EQ(screen->received[1]["x"], 2);
  EXPECT_EQ(screen->received[2]["x"], 2);
  EXPECT_EQ(screen->received[2]["y"], 3);
  EXPECT_TRUE(log().contains(
      "run functions called. invoke method with --> classname : CartScreen methodname : show"));

  // The "qiv" class is the SDK's own: "sc" sets a cookie.
  const Value cookie = {
      {"cookie_name", "promo"}, {"cookie_value", "seen"}, {"cookie_timeout", "1"}};
  QivUtil::run_functions("C", run(Value::array({entry("C", "sc", "qiv", cookie)})), nullptr);
  EXPECT_EQ(Util::readDefault("promo"), "seen " + std::to_string(testing::kTestEpoch + 60));

  // Without a name "sc" and "ic" store nothing (before: an entry under "").
  for (const char* name : {"sc", "ic"}) {
    QivUtil::run_functions(
        "C", run(Value::array({entry("C", name, "qiv", {{"coOkie_name", "x"}})})), nullptr);
  }
  EXPECT_FALSE(Util::qivDefaults()->object("").has_value());
  EXPECT_TRUE(log().contains("cookie attr --> no cookie_name, nothing stored"));
}

TEST_F(InvocationTest, MalformedOrThrowingEntriesAreSkippedAndTheRestRuns) {
  auto screen = screenWithRecorder();
  Registry::shared().registerMethod<Screen>(
      "CartScreen", "fail", [](Screen&, const Value&) { throw std::runtime_error("boom"); });
  Registry::shared().registerClass(
      "Broken", []() -> std::shared_ptr<runtime::Object> { throw std::runtime_error("no"); });
  EXPECT_NO_THROW(QivUtil::run_functions(
      "A",
      run(Value::array({"text",
                        {{"type", 1}, {"name", "show"}, {"class", ""}},
                        {{"type", "A"}, {"class", ""}},
                        {{"type", "A"}, {"name", "show"}, {"class", nullptr}},
                        {{"type", "A"}, {"name", "fail"}, {"class", ""}},
                        {{"type", "A"}, {"name", "any"}, {"class", "Broken"}},
                        {{"type", "A"}, {"name", "show"}, {"class", ""}, {"param", {1, 2}}},
                        {{"type", "A"}, {"name", "show"}, {"class", ""}, {"param", nullptr}}})),
      screen));
  for (const char* line : {"run functions. entry is not a map",
                           "run functions. entry without text type, name or class",
                           "run functions. param is not a map", "host method failed : fail: : boom",
                           "host class could not be created : Broken : no"}) {
    EXPECT_TRUE(log().contains(line)) << line;
  }
  ASSERT_EQ(screen->received.size(), 1u);
  EXPECT_FALSE(screen->received[0].contains("0"));

  log().clear();
  QivUtil::run_functions("A", {{"run", {{"functions", {{"type", "A"}}}}}}, screen);
  EXPECT_TRUE(log().contains("run functions. functions is not a list"));
  log().clear();
  QivUtil::run_functions("A", {{"run", "x"}}, screen);
  QivUtil::run_functions("A", Value::array(), screen);
  EXPECT_FALSE(log().contains("run functions called."));
}

TEST_F(InvocationTest, AllowedFunctionsAndDomains) {
  EXPECT_TRUE(Util::checkAllowedFunction("Cart", "add"));  // never set
  allowFunctions(Value{{"Cart", {{"*", 1}}}});
  EXPECT_TRUE(Util::checkAllowedFunction("Cart", "remove"));
  EXPECT_FALSE(Util::checkAllowedFunction("Basket", "add"));
  allowFunctions(Value{{"Cart", {{"add", 0}}}, {"Empty", Value::object()}});
  EXPECT_TRUE(Util::checkAllowedFunction("Cart", "add"));
  EXPECT_FALSE(Util::checkAllowedFunction("Cart", "remove"));
  EXPECT_FALSE(Util::checkAllowedFunction("Empty", "add"));
  allowFunctions(Value{{"*", 1}});
  EXPECT_TRUE(Util::checkAllowedFunction("Anything", "at_all"));
  for (const Value& refusing : {Value{{"Cart", "add"}}, Value::object(), Value::array({"Cart"})}) {
    allowFunctions(refusing);
    EXPECT_FALSE(Util::checkAllowedFunction("Cart", "add")) << describe(refusing);
  }
  allowFunctions(Value());
  EXPECT_TRUE(Util::checkAllowedFunction("Cart", "add"));

  EXPECT_TRUE(Util::isAllowedDomain({}, "evil.example"));  // never set
  allowDomains({});
  EXPECT_TRUE(Util::isAllowedDomain({"a.example"}, "evil.example"));
  allowDomains({"a.example"});
  EXPECT_FALSE(Util::isAllowedDomain({}, "a.example"));
  EXPECT_TRUE(Util::isAllowedDomain({"b.example", "a.example"}, "a.example"));
  EXPECT_FALSE(Util::isAllowedDomain({"b.example"}, "a.example"));
  EXPECT_TRUE(Util::isAllowedDomain({"b.example", ""}, "a.example"));
}

}  // namespace
}  // namespace tavrino
