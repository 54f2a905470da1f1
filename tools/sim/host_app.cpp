#include "sim/host_app.hpp"

#include "sim/sdk_messages.hpp"
#include "sim/sim_platform.hpp"
#include "tavrino/banner/social_proof.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/ui/button.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::sim {
namespace {

ui::Color colour(const Rgba& c) {
  return {c.red, c.green, c.blue, c.alpha};
}

std::shared_ptr<ui::View> makeHostView(const HostView& spec) {
  const auto frame = ui::Rect::make(spec.x, spec.y, spec.width, spec.height);
  std::shared_ptr<ui::View> view;
  switch (spec.kind) {
    case HostView::Kind::text: {
      auto text = ui::TextView::make(frame);
      text->setAttributedText(ui::AttributedText::plain(spec.text, ui::Font::systemFont(15)));
      text->setEditable(false);
      view = text;
      break;
    }
    case HostView::Kind::button: {
      auto button = ui::Button::make(frame);
      button->setTitle(spec.text);
      view = button;
      break;
    }
    case HostView::Kind::box:
      view = ui::View::make(frame);
      break;
  }
  if (!spec.id.empty()) view->setRestorationIdentifier(spec.id);
  if (spec.background) view->setBackgroundColor(colour(*spec.background));
  return view;
}

// A host screen: its class name for the SDK, its views from the scenario.
class ScreenController final : public ui::ViewController {
 public:
  explicit ScreenController(const Screen& screen)
      : ui::ViewController(screen.className), screen_(screen) {}

 protected:
  std::shared_ptr<ui::View> loadView() override {
    auto root = ui::View::make();
    root->setBackgroundColor(screen_.background ? colour(*screen_.background)
                                                : ui::Color{1, 1, 1, 1});
    for (const auto& spec : screen_.views) root->addSubview(makeHostView(spec));
    return root;
  }

 private:
  const Screen& screen_;
};

// An instance of a host class that is not a screen, for campaigns that name
// the class.
class HostObject final : public runtime::Object {
 public:
  explicit HostObject(std::string name) : name_(std::move(name)) {}
  std::string className() const override { return name_; }

 private:
  std::string name_;
};

// "scheme://host[:port]" of a URL: the social-proof origin takes no path.
std::string originOf(const std::string& url) {
  const auto scheme = url.find("://");
  if (scheme == std::string::npos) return url;
  const auto end = url.find_first_of("/?#", scheme + 3);
  return end == std::string::npos ? url : url.substr(0, end);
}

void collectIdentities(const ui::View& view, std::set<std::uint64_t>& out) {
  out.insert(view.identity());
  for (const auto& child : view.subviews()) collectIdentities(*child, out);
}

}  // namespace

HostApp::HostApp(const Scenario& scenario, const std::string& baseUrl,
                 std::filesystem::path dataDirectory, Timeline& timeline, bool verbose)
    : scenario_(scenario),
      baseUrl_(baseUrl),
      dataDirectory_(std::move(dataDirectory)),
      timeline_(timeline) {
  auto& platform = platform::current();
  window_ = ui::Window::make(platform.screen().bounds());
  window_->setBackgroundColor(ui::Color{1, 1, 1, 1});
  mirror_ = std::make_shared<Mirror>(*window_);
  window_->setTreeObserver(mirror_);
  if (auto* application = SimPlatform::applicationState()) {
    application->setKeyWindow(window_);
  }

  const SdkSetup& sdk = scenario.sdk;
  Util::setCookieToQIVDefaults("qivtest", "1");
  for (const auto& [key, value] : sdk.store) Util::setCookieToQIVDefaults(key, value);
  client_ = std::make_unique<Tavrino>(baseUrl, sdk.companyId, "0", sdk.companySettings ? "1" : "0");
  client_->setApiKey(sdk.apiKey);
  if (!sdk.appGroup.empty()) client_->setAppGroupName(sdk.appGroup);
  if (sdk.appInbox) client_->enableAppInbox();
  if (sdk.allowedDomains) client_->setAllowedDomains(*sdk.allowedDomains);
  if (sdk.allowedFunctions) client_->setAllowedFunction(*sdk.allowedFunctions);
  client_->setStepCallback([&timeline, verbose](const std::vector<std::string>& steps) {
    if (!steps.empty() && (verbose || isNotableStep(steps.back()))) {
      timeline.emit(EntryKind::step, steps.back());
    }
  });
  // Images and social-proof counts come from the service the run talks to,
  // not from the production hosts.
  Tavrino::setContentDeliveryOrigin(contentDeliveryOrigin());
  banner::setSocialProofOrigin(originOf(baseUrl_));
  client_->pushClickCallback([&timeline, alive = std::weak_ptr<bool>(alive_)](const Value& info) {
    if (!alive.lock()) return;
    Entry entry{EntryKind::host, "push-click callback with " + info.dump()};
    entry.data["pushClick"] = info;
    timeline.emit(std::move(entry));
  });
  registerHostMethods();
  if (sdk.push) registerForPushes(sdk.deviceToken);
}

void HostApp::registerForPushes(const Data& token) {
  // The platform answers a registration with the device token; the host
  // hands it over, as its application delegate would.
  if (auto* application = SimPlatform::applicationState()) {
    application->setRemoteNotificationRegistrationHandler([token] {
      if (!token.empty()) Tavrino::registerWithDeviceToken(token);
    });
  }
  client_->register_();
}

std::string HostApp::contentDeliveryOrigin() const {
  std::string origin = baseUrl_;
  while (!origin.empty() && origin.back() == '/') origin.pop_back();
  return origin;
}

HostApp::~HostApp() {
  client_->setStepCallback([](const std::vector<std::string>&) {});
  client_->pushClickCallback(nullptr);
  alive_.reset();
  client_.reset();
  current_.reset();
  window_->setTreeObserver(nullptr);
  if (auto* application = SimPlatform::applicationState()) {
    application->setKeyWindow(nullptr);
    application->setRemoteNotificationRegistrationHandler(nullptr);
  }
}

void HostApp::registerHostMethods() {
  auto& registry = runtime::Registry::shared();
  for (const auto& method : scenario_.hostMethods) {
    const std::string name = method.selector.substr(0, method.selector.size() - 1);
    const std::string qualified = method.className + "." + method.selector;
    const auto called = [this, alive = std::weak_ptr<bool>(alive_), qualified](
                            runtime::Object&, const Value& argument) {
      if (!alive.lock()) return;
      Entry entry{EntryKind::hostMethod, qualified + " called with " + argument.dump()};
      entry.data["method"] = qualified;
      entry.data["argument"] = argument;
      timeline_.emit(std::move(entry));
    };
    bool isScreenClass = false;
    for (const auto& [screenName, screen] : scenario_.screens) {
      isScreenClass = isScreenClass || screen.className == method.className;
    }
    if (isScreenClass) {
      registry.registerMethod<ui::ViewController>(method.className, name, called);
    } else {
      registry.registerClass(method.className, [className = method.className] {
        return std::make_shared<HostObject>(className);
      });
      registry.registerMethod<HostObject>(method.className, name, called);
    }
  }
}

std::shared_ptr<ui::ViewController> HostApp::show(const std::string& screenName) {
  const Screen& screen = scenario_.screens.at(screenName);
  auto controller = std::make_shared<ScreenController>(screen);
  std::shared_ptr<ui::ViewController> root = controller;
  if (screen.navigation) root = std::make_shared<ui::NavigationController>(controller);
  // The host's own views, known before they reach the window.
  collectIdentities(*root->view(), hostViews_);
  window_->setRootViewController(root);
  current_ = controller;
  currentName_ = screenName;
  return controller;
}

}  // namespace tavrino::sim
