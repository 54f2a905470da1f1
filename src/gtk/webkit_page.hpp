#pragma once

// A web view's page as a WebKit web view. The widget belongs to the page; the
// mirror shows it where the SDK's web view is.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <memory>

#include "tavrino/platform/web_engine.hpp"

namespace tavrino::gtk {

class WebKitPage final : public platform::WebPage {
 public:
  explicit WebKitPage(std::weak_ptr<platform::WebPageClient> client);
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

  std::weak_ptr<platform::WebPageClient> client_;
  WebKitWebView* view_;
  bool failed_ = false;
};

class WebKitEngine final : public platform::WebEngine {
 public:
  std::unique_ptr<platform::WebPage> createPage(
      std::weak_ptr<platform::WebPageClient> client) override;
};

}  // namespace tavrino::gtk
