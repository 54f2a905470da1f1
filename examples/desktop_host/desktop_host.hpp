#pragma once

// A small shop written with GTK 4, hosting the SDK: a home screen, a product
// list whose rows may carry listing badges, and a product screen. Each
// screen shown is a page view; the SDK's campaigns appear over the window.

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <tavrino/client.hpp>
#include <tavrino/gtk/host_window.hpp>

namespace desktop_host {

class DesktopHost {
 public:
  // Opens the window (not yet shown) and sets the SDK up against baseUrl.
  explicit DesktopHost(const std::string& baseUrl);
  ~DesktopHost();

  void showHome();
  void showListing();
  void showProduct(const std::string& name);

  GtkWindow* gtkWindow() const { return window_; }
  tavrino::gtk::HostWindow& host() { return *host_; }
  tavrino::Tavrino& client() { return *client_; }
  // The product list's scrolled window and rows (by product id), while the
  // list is shown.
  GtkWidget* listScroller() const { return listScroller_; }
  const std::vector<std::pair<std::string, GtkWidget*>>& productRows() const { return rows_; }

 private:
  void show(const std::string& className, GtkWidget* content, const std::string& page,
            std::function<void()> appeared = {});

  GtkWindow* window_;
  std::unique_ptr<tavrino::gtk::HostWindow> host_;
  std::unique_ptr<tavrino::Tavrino> client_;
  std::shared_ptr<tavrino::ui::ViewController> screen_;
  GtkWidget* listScroller_ = nullptr;
  std::vector<std::pair<std::string, GtkWidget*>> rows_;
  // Work queued for later checks that the host is still there.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace desktop_host
