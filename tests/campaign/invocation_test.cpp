// Host methods a campaign calls by name: the class lookup, the method's type,
// the parameters built entry by entry, malformed or throwing entries, and the
// functions and domains the host allows.

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
using Texts = std::vector<std::string>;

// A host class that records what reached it.
class Cart : public runtime::Object {
 public:
  explicit Cart(std::string tag = "Cart") : tag_(std::move(tag)) {}
  std::string className() const override { return "Cart"; }
  void add(const Value& argument) { calls().push_back(tag_ + ":" + describe(argument)); }
  static Texts& calls() {
    static Texts recorded;
    return recorded;
  }

 private:
  std::string tag_;
};

// Records each argument of "show", without the campaign's own "run".
class Screen : public ui::ViewController {
 public:
  Screen() : ViewController("CartScreen") {}
  Texts received;
};

class InvocationTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    enableDebugLog();
    Registry::shared().resetForTesting();
    Cart::calls().clear();
    Registry::shared().registerMethod<Screen>("CartScreen", "show", [](Screen& s, Value v) {
      v.erase("run");
      s.received.push_back(describe(v));
    });
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
  // Runs the campaign {"id": "7"} whose function list is functions.
  void run(const char* type, Value functions) {
    QivUtil::run_functions(type, {{"id", "7"}, {"run", {{"functions", functions}}}}, screen);
  }
  // One entry of a campaign's function list.
  static Value entry(const char* type, const char* name, const char* cls, Value param) {
    return {{"type", type}, {"name", name}, {"class", cls}, {"param", std::move(param)}};
  }
  void expectLogged(const Texts& lines) {
    for (const auto& line : lines) EXPECT_TRUE(log().contains(line)) << line;
  }

  std::shared_ptr<Screen> screen = std::make_shared<Screen>();
};

TEST_F(InvocationTest, ClassLookupPrefersTheQualifiedNameAndTheMethodsTypeDecides) {
  setExecutable("App");
  registerCart("Cart");
  Util::invokeMethodFromName("add", "sku-1", "Cart");
  registerCart("App.Cart");
  Util::invokeMethodFromNameWithDictionary("add", Value{{"q", 2}}, "Cart");
  Util::invokeMethodFromNameWithDictionary("remove", Value::object(), "Cart");
  Util::invokeMethodFromName("add", "x", "Basket");
  // A view controller that merely carries a registered class name is not
  // that class: the method's type decides.
  Util::invokeSomeMethod("add", Value::object(), "Cart",
                         std::make_shared<ui::ViewController>("Cart"));
  EXPECT_EQ(Cart::calls(), (Texts{"Cart:sku-1", "App.Cart:{\"q\":2}"}));
  // A class known only by its methods has no instances to call.
  Util::invokeMethodFromNameWithDictionary("show", Value::object(), "CartScreen");
  Util::invokeSomeMethod("show", Value{{"a", 1}}, "Nowhere", screen);
  Util::invokeSomeMethod("show", Value{{"a", 2}}, "CartScreen", screen);
  EXPECT_EQ(screen->received, Texts{R"({"a":2})"});
  expectLogged({"method not found arg : remove:", "classname not found in package : Basket",
                "method not found arg : show:", "classname not found in package : Nowhere"});
  setExecutable(std::nullopt);  // no executable name: bare names only
  EXPECT_EQ(Util::stringClassFromString("Cart"), "Cart");
}

// Entries of the type run in order, each adding its params to what the ones
// before built, from the campaign's map; the "qiv" class is the SDK's own.
TEST_F(InvocationTest, ParamsAccumulateAcrossEntriesOfTheTypeAndBadEntriesAreSkipped) {
  run("A", Value::array({entry("C", "show", "", {{"c", 1}}),
                         entry("A", "show", "", {{"x", 1}}),
                         entry("A", "show", "CartScreen", {{"x", 2}, {"y", 3}}),
                         {{"type", "A"}, {"name", "show"}, {"class", "CartScreen"}}}));
  EXPECT_EQ(screen->received, (Texts{R"({"id":"7","x":1})", R"({"id":"7","x":2,"y":3})",
                                     R"({"id":"7","x":2,"y":3})"}));

  // Without a name "sc" and "ic" store nothing (before: an entry under "").
  for (const char* name : {"sc", "ic"}) {
    run("C", Value::array({entry("C", name, "qiv", {{"coOkie_name", "x"}})}));
  }
  EXPECT_FALSE(Util::qivDefaults()->object("").has_value());
  expectLogged({"cookie attr --> no cookie_name, nothing stored"});

  // Malformed or throwing entries are skipped and the rest runs.
  screen->received.clear();
  Registry::shared().registerMethod<Screen>(
      "CartScreen", "fail", [](Screen&, const Value&) { throw std::runtime_error("boom"); });
  Registry::shared().registerClass(
      "Broken", []() -> std::shared_ptr<runtime::Object> { throw std::runtime_error("no"); });
  EXPECT_NO_THROW(run("A", Value::array({"text",
                                         {{"type", "A"}, {"name", "show"}, {"class", nullptr}},
                                         {{"type", "A"}, {"name", "fail"}, {"class", ""}},
                                         {{"type", "A"}, {"name", "any"}, {"class", "Broken"}},
                                         entry("A", "show", "", {1, 2}),
                                         entry("A", "show", "", nullptr)})));
  expectLogged({"run functions. entry is not a map",
                "run functions. entry without text type, name or class",
                "run functions. param is not a map", "host method failed : fail: : boom",
                "host class could not be created : Broken : no"});
  EXPECT_EQ(screen->received, Texts{R"({"id":"7"})"});

  log().clear();
  QivUtil::run_functions("A", {{"run", {{"functions", {{"type", "A"}}}}}}, screen);
  expectLogged({"run functions. functions is not a list"});
}

TEST_F(InvocationTest, AllowedFunctionsAndDomains) {
  // Which of Cart.add, Cart.remove, Basket.add, Empty.add each setting allows.
  const std::pair<Value, std::string> functions[] = {
      {Value(), "1111"},  // never set
      {Value{{"Cart", {{"*", 1}}}}, "1100"},
      {Value{{"Cart", {{"add", 0}}}, {"Empty", Value::object()}}, "1000"},
      {Value{{"Cart", "add"}}, "0000"},
      {Value::array({"Cart"}), "0000"}};
  for (const auto& [allowed, expected] : functions) {
    processState().withConfig([&](SharedConfiguration& c) { c.allowedFunctions = allowed; });
    std::string got;
    for (const auto& [cls, method] :
         {std::pair{"Cart", "add"}, {"Cart", "remove"}, {"Basket", "add"}, {"Empty", "add"}}) {
      got += Util::checkAllowedFunction(cls, method) ? "1" : "0";
    }
    EXPECT_EQ(got, expected) << describe(allowed);
  }

  EXPECT_TRUE(Util::isAllowedDomain({}, "evil.example"));  // never set
  const auto allowDomains = [](std::vector<std::string> allowed) {
    processState().withConfig([&](SharedConfiguration& c) { c.allowedDomains = allowed; });
  };
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
