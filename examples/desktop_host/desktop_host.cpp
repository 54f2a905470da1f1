#include "desktop_host.hpp"

#include <tavrino/ui/view_controller.hpp>

namespace desktop_host {
namespace {

struct Product {
  const char* id;
  const char* name;
  const char* price;
};

constexpr Product kProducts[] = {
    {"A1", "Trail runner", "49.90"}, {"B2", "City sneaker", "19.90"}, {"C3", "Mountain boot", "99"},
    {"D4", "Beach sandal", "14.90"}, {"E5", "Winter boot", "119"},    {"F6", "Court shoe", "59.90"},
    {"G7", "Slipper", "9.90"},       {"H8", "Hiking boot", "89"},
};

GtkWidget* screenBox(const char* title) {
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
  GtkWidget* header = gtk_label_new(title);
  gtk_widget_add_css_class(header, "title-1");
  gtk_widget_set_margin_top(header, 24);
  gtk_box_append(GTK_BOX(box), header);
  return box;
}

GtkWidget* button(const char* label, GCallback clicked, gpointer data) {
  GtkWidget* widget = gtk_button_new_with_label(label);
  gtk_widget_set_margin_start(widget, 16);
  gtk_widget_set_margin_end(widget, 16);
  g_signal_connect(widget, "clicked", clicked, data);
  return widget;
}

}  // namespace

DesktopHost::DesktopHost(const std::string& baseUrl) : window_(GTK_WINDOW(gtk_window_new())) {
  gtk_window_set_title(window_, "Tavrino Shoes");
  gtk_window_set_default_size(window_, 390, 844);
  host_ = std::make_unique<tavrino::gtk::HostWindow>(window_);
  client_ = std::make_unique<tavrino::Tavrino>(baseUrl, "1234", "0", "1");
  client_->setApiKey("demo-key");
  // Images come from the service the host talks to.
  std::string origin = baseUrl;
  while (!origin.empty() && origin.back() == '/') origin.pop_back();
  tavrino::Tavrino::setContentDeliveryOrigin(origin);
}

DesktopHost::~DesktopHost() {
  client_.reset();
  host_.reset();
  gtk_window_destroy(window_);
}

// The page view goes once the screen is laid out, as a view that appeared:
// campaigns then find the screen's widgets at their sizes.
void DesktopHost::show(const std::string& className, GtkWidget* content, const std::string& page,
                       std::function<void()> appeared) {
  listScroller_ = nullptr;
  rows_.clear();
  screen_ = std::make_shared<tavrino::ui::ViewController>(className);
  host_->showScreen(screen_, content);
  host_->afterLayout([this, alive = std::weak_ptr<bool>(alive_), screen = screen_, page,
                      appeared = std::move(appeared)] {
    if (!alive.lock() || screen != screen_) return;
    client_->execute(screen, {{"p", page}});
    if (appeared) appeared();
  });
}

void DesktopHost::showHome() {
  GtkWidget* box = screenBox("Tavrino Shoes");
  gtk_box_append(GTK_BOX(box), gtk_label_new("Shoes for every trail and every street."));
  gtk_box_append(GTK_BOX(box), button("See all shoes", G_CALLBACK(+[](GtkButton*, gpointer self) {
                                        static_cast<DesktopHost*>(self)->showListing();
                                      }),
                                      this));
  show("HomeViewController", box, "Home");
}

void DesktopHost::showListing() {
  GtkWidget* box = screenBox("All shoes");
  GtkWidget* list = gtk_list_box_new();
  std::string items = "[";
  for (const Product& product : kProducts) {
    GtkWidget* row =
        gtk_label_new((std::string(product.name) + "   " + product.price + " €").c_str());
    gtk_widget_set_size_request(row, -1, 120);
    gtk_list_box_append(GTK_LIST_BOX(list), row);
    items += std::string(items.size() > 1 ? "," : "") + R"({"i":")" + product.id + R"(","p":")" +
             product.price + R"("})";
  }
  items += "]";
  g_signal_connect(list, "row-activated",
                   G_CALLBACK(+[](GtkListBox*, GtkListBoxRow* row, gpointer self) {
                     static_cast<DesktopHost*>(self)->showProduct(
                         gtk_label_get_text(GTK_LABEL(gtk_list_box_row_get_child(row))));
                   }),
                   this);
  listScroller_ = gtk_scrolled_window_new();
  gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(listScroller_), list);
  gtk_widget_set_vexpand(listScroller_, TRUE);
  gtk_box_append(GTK_BOX(box), listScroller_);
  GtkWidget* scroller = listScroller_;
  show("ListingViewController", box, "Listing", [this, items] {
    tavrino::Tavrino::activateListingBadge(screen_, {{"qivlid", items}});
  });
  listScroller_ = scroller;
  // Rows are found by "item_" and the product id, as the badge campaigns name them.
  int index = 0;
  for (GtkWidget* row = gtk_widget_get_first_child(list); row;
       row = gtk_widget_get_next_sibling(row)) {
    const std::string id = kProducts[index++].id;
    host_->identify(row, "item_" + id);
    rows_.emplace_back(id, row);
  }
}

void DesktopHost::showProduct(const std::string& name) {
  GtkWidget* box = screenBox(name.c_str());
  gtk_box_append(GTK_BOX(box), gtk_label_new("Light, grippy and made to last."));
  gtk_box_append(GTK_BOX(box),
                 button("Back to all shoes", G_CALLBACK(+[](GtkButton*, gpointer self) {
                          static_cast<DesktopHost*>(self)->showListing();
                        }),
                        this));
  show("ProductViewController", box, "Product");
}

}  // namespace desktop_host
