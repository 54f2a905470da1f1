#pragma once

// A web view's page as a WebKit web view. The widget belongs to the page; the
// mirror shows it where the SDK's web view is.
//
// Making a WebKit web view and handing it a document are the costly parts
// (the first load starts WebKit's web process): neither runs inside the
// SDK's task. The engine keeps two web views made ahead of need on idle
// turns of the loop (a screen's answer often lays out two pages in one
// task), the first at start-up and the next after each hand-over, and a page
// hands its document to WebKit on an idle turn of its own.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "tavrino/platform/web_engine.hpp"

namespace tavrino::gtk {

class GlibDispatch;

class WebKitPage final : public platform::WebPage {
 public:
  // Takes view (a reference it owns); loads run on dispatch's idle turns.
  WebKitPage(std::weak_ptr<platform::WebPageClient> client, WebKitWebView* view,
             GlibDispatch& dispatch);
  ~WebKitPage() override;
  WebKitPage(const WebKitPage&) = delete;
  WebKitPage& operator=(const WebKitPage&) = delete;

  void loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL) override;
  void load(const platform::URLRequest& request) override;
  void stopLoading() override;

  GtkWidget* widget() const { return GTK_WIDGET(view_); }

 private:
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                               gpointer self);
  // Reports to the client on a later turn of the main loop, outside WebKit's
  // signal (the client may take the web view out of the window).
  void report(std::function<void(platform::WebPageClient&)> call);
  // Runs load on an idle turn unless a later load or stopLoading() came
  // first, or the page is gone.
  void loadLater(std::function<void(WebKitWebView*)> load);

  std::weak_ptr<platform::WebPageClient> client_;
  WebKitWebView* view_;
  GlibDispatch& dispatch_;
  bool failed_ = false;
  std::uint64_t loads_ = 0;
  std::shared_ptr<WebKitPage*> self_ = std::make_shared<WebKitPage*>(this);
};

class WebKitEngine final : public platform::WebEngine {
 public:
  // Makes the first web views ahead of need on idle turns of dispatch.
  explicit WebKitEngine(GlibDispatch& dispatch);
  ~WebKitEngine() override;
  WebKitEngine(const WebKitEngine&) = delete;
  WebKitEngine& operator=(const WebKitEngine&) = delete;

  std::unique_ptr<platform::WebPage> createPage(
      std::weak_ptr<platform::WebPageClient> client) override;

 private:
  void prepareSpare();

  static constexpr std::size_t kSpares = 2;
  GlibDispatch& dispatch_;
  std::vector<WebKitWebView*> spares_;
  bool preparing_ = false;
  std::shared_ptr<WebKitEngine*> self_ = std::make_shared<WebKitEngine*>(this);
};

}  // namespace tavrino::gtk
