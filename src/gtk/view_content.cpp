#include "gtk/view_content.hpp"

#include <algorithm>

#include "gtk/pango_markup.hpp"
#include "gtk/view_widget.hpp"
#include "gtk/webkit_page.hpp"
#include "tavrino/ui/activity_indicator.hpp"
#include "tavrino/ui/button.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/ui/web_view.hpp"

namespace tavrino::gtk {
namespace {

// The tint a title takes when it names no colour.
constexpr ui::Color kTint{0, 0.478, 1, 1};

guint16 channel(double component) {
  return static_cast<guint16>(std::clamp(component, 0.0, 1.0) * 65535);
}

// Sets text in font and colour; the system family is the desktop's sans.
void styleLabel(GtkLabel* label, const ui::Font& font, const std::optional<ui::Color>& colour) {
  PangoAttrList* attributes = pango_attr_list_new();
  const std::string family = font.family == ui::Font::systemFamily ? "Sans" : font.family;
  pango_attr_list_insert(attributes, pango_attr_family_new(family.c_str()));
  pango_attr_list_insert(attributes,
                         pango_attr_size_new_absolute(static_cast<int>(font.size * PANGO_SCALE)));
  if (colour) {
    pango_attr_list_insert(attributes,
                           pango_attr_foreground_new(channel(colour->red), channel(colour->green),
                                                     channel(colour->blue)));
    pango_attr_list_insert(attributes, pango_attr_foreground_alpha_new(channel(colour->alpha)));
  }
  gtk_label_set_attributes(label, attributes);
  pango_attr_list_unref(attributes);
}

template <typename Widget>
GtkWidget* reuse(GtkWidget* widget, GType type, Widget make) {
  GtkWidget* content = viewWidgetContent(widget);
  if (content && G_TYPE_CHECK_INSTANCE_TYPE(content, type)) return content;
  content = make();
  viewWidgetSetContent(widget, content);
  return content;
}

GtkLabel* labelOf(GtkWidget* widget) {
  return GTK_LABEL(reuse(widget, GTK_TYPE_LABEL, [] { return gtk_label_new(nullptr); }));
}

void showButton(GtkWidget* widget, const ui::Button& button) {
  const ui::Image& image = button.image();
  if (!image.isEmpty()) {
    GBytes* bytes = g_bytes_new(image.data().data(), image.data().size());
    GdkTexture* texture = gdk_texture_new_from_bytes(bytes, nullptr);
    g_bytes_unref(bytes);
    if (!texture) return viewWidgetSetContent(widget, nullptr);
    GtkWidget* picture = gtk_picture_new_for_paintable(GDK_PAINTABLE(texture));
    gtk_picture_set_content_fit(GTK_PICTURE(picture), GTK_CONTENT_FIT_FILL);
    gtk_picture_set_can_shrink(GTK_PICTURE(picture), TRUE);
    g_object_unref(texture);
    return viewWidgetSetContent(widget, picture);
  }
  GtkLabel* label = labelOf(widget);
  gtk_label_set_text(label, button.title().c_str());
  gtk_label_set_ellipsize(label, PANGO_ELLIPSIZE_END);
  styleLabel(label, button.font(), button.titleColor().value_or(kTint));
  gtk_widget_set_opacity(GTK_WIDGET(label), button.isEnabled() ? 1 : 0.4);
}

void showText(GtkWidget* widget, const ui::TextView& text) {
  ViewLook& look = viewWidgetLook(widget);
  const double insets[4] = {ui::TextView::insetTop, ui::TextView::padding,
                            ui::TextView::insetBottom, ui::TextView::padding};
  std::copy(std::begin(insets), std::end(insets), look.insets);
  GtkLabel* label = labelOf(widget);
  const std::string& html = text.attributedText().html;
  const std::string markup = html.empty() ? std::string() : pangoMarkupFromHTML(html);
  if (markup.empty()) {
    gtk_label_set_text(label, text.text().c_str());
  } else {
    gtk_label_set_markup(label, markup.c_str());
  }
  gtk_label_set_wrap(label, TRUE);
  gtk_label_set_wrap_mode(label, PANGO_WRAP_WORD_CHAR);
  gtk_label_set_yalign(label, 0);
  const ui::TextAlignment alignment = text.textAlignment();
  gtk_label_set_xalign(label, alignment == ui::TextAlignment::center  ? 0.5f
                              : alignment == ui::TextAlignment::right ? 1.0f
                                                                      : 0.0f);
  gtk_label_set_justify(label, alignment == ui::TextAlignment::center      ? GTK_JUSTIFY_CENTER
                               : alignment == ui::TextAlignment::right     ? GTK_JUSTIFY_RIGHT
                               : alignment == ui::TextAlignment::justified ? GTK_JUSTIFY_FILL
                                                                           : GTK_JUSTIFY_LEFT);
  styleLabel(label, text.effectiveFont(), text.textColor());
}

void showSpinner(GtkWidget* widget, const ui::ActivityIndicator& indicator) {
  GtkWidget* spinner = reuse(widget, GTK_TYPE_SPINNER, [] { return gtk_spinner_new(); });
  gtk_spinner_set_spinning(GTK_SPINNER(spinner), indicator.isAnimating());
}

void showWebPage(GtkWidget* widget, const ui::WebView& web) {
  auto* page = dynamic_cast<WebKitPage*>(&const_cast<ui::WebView&>(web).page());
  if (!page) return;
  GtkWidget* content = page->widget();
  if (gtk_widget_get_parent(content) && gtk_widget_get_parent(content) != widget) {
    gtk_widget_unparent(content);
  }
  viewWidgetSetContent(widget, content);
  // A page that says nothing of its background shows the view's colour.
  const ui::Color colour = web.backgroundColor().value_or(ui::Color{1, 1, 1, 1});
  const GdkRGBA rgba{static_cast<float>(colour.red), static_cast<float>(colour.green),
                     static_cast<float>(colour.blue), static_cast<float>(colour.alpha)};
  webkit_web_view_set_background_color(WEBKIT_WEB_VIEW(content), &rgba);
  // A web view that does not scroll shows its page without scroll bars.
  WebKitUserContentManager* styles =
      webkit_web_view_get_user_content_manager(WEBKIT_WEB_VIEW(content));
  webkit_user_content_manager_remove_all_style_sheets(styles);
  if (!web.isScrollEnabled()) {
    WebKitUserStyleSheet* sheet = webkit_user_style_sheet_new(
        "html,body{overflow:hidden !important}", WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
    webkit_user_content_manager_add_style_sheet(styles, sheet);
    webkit_user_style_sheet_unref(sheet);
  }
}

}  // namespace

void showContent(GtkWidget* widget, const ui::View& view) {
  if (const auto* web = dynamic_cast<const ui::WebView*>(&view)) return showWebPage(widget, *web);
  if (const auto* button = dynamic_cast<const ui::Button*>(&view)) {
    return showButton(widget, *button);
  }
  if (const auto* text = dynamic_cast<const ui::TextView*>(&view)) return showText(widget, *text);
  if (const auto* spinner = dynamic_cast<const ui::ActivityIndicator*>(&view)) {
    return showSpinner(widget, *spinner);
  }
}

}  // namespace tavrino::gtk
