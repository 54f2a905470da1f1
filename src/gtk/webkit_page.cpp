#include "gtk/webkit_page.hpp"

#include <algorithm>
#include <utility>

#include "gtk/glib_dispatch.hpp"
#include "gtk/view_widget.hpp"
#include "tavrino/platform/platform.hpp"

namespace tavrino::gtk {
namespace {

// WebKit waits for the answer; one the client never gives cancels the load.
class Decision {
 public:
  explicit Decision(WebKitPolicyDecision* decision)
      : decision_(WEBKIT_POLICY_DECISION(g_object_ref(decision))) {}
  ~Decision() {
    if (!answered_) webkit_policy_decision_ignore(decision_);
    g_object_unref(decision_);
  }
  void answer(platform::NavigationPolicy policy) {
    if (answered_) return;
    answered_ = true;
    if (policy == platform::NavigationPolicy::allow) {
      webkit_policy_decision_use(decision_);
    } else {
      webkit_policy_decision_ignore(decision_);
    }
  }

 private:
  WebKitPolicyDecision* decision_;
  bool answered_ = false;
};

// A link the user followed is a click; a link the document follows on its
// own (a script's timer long after any input) is one of its own loads.
platform::NavigationType navigationType(WebKitNavigationAction* action) {
  switch (webkit_navigation_action_get_navigation_type(action)) {
    case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED:
      return webkit_navigation_action_is_user_gesture(action) ||
                     webkit_navigation_action_get_mouse_button(action) != 0
                 ? platform::NavigationType::linkActivated
                 : platform::NavigationType::other;
    case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED:
      return platform::NavigationType::formSubmitted;
    case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD:
      return platform::NavigationType::backForward;
    case WEBKIT_NAVIGATION_TYPE_RELOAD:
      return platform::NavigationType::reload;
    case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED:
      return platform::NavigationType::formResubmitted;
    default:
      return platform::NavigationType::other;
  }
}

}  // namespace

static WebKitWebView* newWebView() {
  return WEBKIT_WEB_VIEW(g_object_ref_sink(webkit_web_view_new()));
}

WebKitPage::WebKitPage(std::weak_ptr<platform::WebPageClient> client, WebKitWebView* view,
                       GlibDispatch& dispatch)
    : client_(std::move(client)), view_(view), dispatch_(dispatch) {
  g_signal_connect(view_, "decide-policy", G_CALLBACK(&WebKitPage::onDecidePolicy), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(&WebKitPage::onLoadChanged), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(&WebKitPage::onLoadFailed), this);
}

WebKitPage::~WebKitPage() {
  g_signal_handlers_disconnect_by_data(view_, this);
  webkit_web_view_stop_loading(view_);
  if (GtkWidget* parent = gtk_widget_get_parent(widget())) {
    if (viewWidgetIdentity(parent) != 0) {
      viewWidgetSetContent(parent, nullptr);
    } else {
      gtk_widget_unparent(widget());
    }
  }
  g_object_unref(view_);
}

void WebKitPage::loadHTMLString(const std::string& html,
                                const std::optional<std::string>& baseURL) {
  loadLater([html, baseURL](WebKitWebView* view) {
    webkit_web_view_load_html(view, html.c_str(), baseURL ? baseURL->c_str() : nullptr);
  });
}

void WebKitPage::load(const platform::URLRequest& request) {
  // A header holding a control character would split the request.
  const auto unsafe = [](const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](unsigned char c) { return c < 0x20 || c == 0x7f; });
  };
  for (const auto& [name, value] : request.headers) {
    if (unsafe(name) || unsafe(value)) {
      report([](platform::WebPageClient& client) {
        client.didFailNavigation("request header holds a control character");
      });
      return;
    }
  }
  loadLater([request](WebKitWebView* view) {
    WebKitURIRequest* uriRequest = webkit_uri_request_new(request.url.c_str());
    if (SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(uriRequest)) {
      for (const auto& [name, value] : request.headers) {
        soup_message_headers_replace(headers, name.c_str(), value.c_str());
      }
    }
    webkit_web_view_load_request(view, uriRequest);
    g_object_unref(uriRequest);
  });
}

void WebKitPage::stopLoading() {
  ++loads_;
  webkit_web_view_stop_loading(view_);
}

void WebKitPage::loadLater(std::function<void(WebKitWebView*)> load) {
  // After the redraws and the SDK's tasks: WebKit holds up neither.
  dispatch_.toolkitIdle(
      [page = std::weak_ptr(self_), ticket = ++loads_, load = std::move(load)] {
        const auto alive = page.lock();
        if (alive && (*alive)->loads_ == ticket) load((*alive)->view_);
      },
      G_PRIORITY_DEFAULT_IDLE);
}

void WebKitPage::report(std::function<void(platform::WebPageClient&)> call) {
  platform::current().dispatch().mainAsync([client = client_, call = std::move(call)] {
    if (auto alive = client.lock()) call(*alive);
  });
}

gboolean WebKitPage::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                    WebKitPolicyDecisionType type, gpointer self) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  WebKitNavigationAction* navigation = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  platform::NavigationAction action;
  action.navigationType = navigationType(navigation);
  if (const char* uri =
          webkit_uri_request_get_uri(webkit_navigation_action_get_request(navigation))) {
    action.url = uri;
  }
  auto pending = std::make_shared<Decision>(decision);
  static_cast<WebKitPage*>(self)->report([action, pending](platform::WebPageClient& client) {
    client.decidePolicy(action,
                        [pending](platform::NavigationPolicy policy) { pending->answer(policy); });
  });
  return TRUE;
}

void WebKitPage::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
  auto* page = static_cast<WebKitPage*>(self);
  if (event == WEBKIT_LOAD_STARTED) {
    page->failed_ = false;
    page->report([](platform::WebPageClient& client) { client.didStartProvisionalNavigation(); });
  } else if (event == WEBKIT_LOAD_FINISHED && !page->failed_) {
    page->report([](platform::WebPageClient& client) { client.didFinishNavigation(); });
  }
}

gboolean WebKitPage::onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                  gpointer self) {
  auto* page = static_cast<WebKitPage*>(self);
  page->failed_ = true;
  std::string message = error && error->message ? error->message : "load failed";
  page->report([message](platform::WebPageClient& client) { client.didFailNavigation(message); });
  return FALSE;
}

WebKitEngine::WebKitEngine(GlibDispatch& dispatch) : dispatch_(dispatch) {
  prepareSpare();
}

WebKitEngine::~WebKitEngine() {
  for (WebKitWebView* view : spares_) g_object_unref(view);
}

std::unique_ptr<platform::WebPage> WebKitEngine::createPage(
    std::weak_ptr<platform::WebPageClient> client) {
  WebKitWebView* view = nullptr;
  if (spares_.empty()) {
    view = newWebView();
  } else {
    view = spares_.back();
    spares_.pop_back();
  }
  prepareSpare();
  return std::make_unique<WebKitPage>(std::move(client), view, dispatch_);
}

void WebKitEngine::prepareSpare() {
  if (spares_.size() >= kSpares || preparing_) return;
  preparing_ = true;
  // Last among the idle work: the host's own work comes first. One view a
  // turn.
  dispatch_.toolkitIdle(
      [engine = std::weak_ptr(self_)] {
        const auto alive = engine.lock();
        if (!alive) return;
        WebKitEngine& self = **alive;
        self.preparing_ = false;
        if (self.spares_.size() < kSpares) self.spares_.push_back(newWebView());
        self.prepareSpare();
      },
      G_PRIORITY_LOW);
}

}  // namespace tavrino::gtk
