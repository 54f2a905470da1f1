#include "gtk/pango_markup.hpp"

#include <gtest/gtest.h>
#include <pango/pango.h>

namespace tavrino::testing {
namespace {

TEST(PangoMarkup, KeepsTheStylesPangoKnowsAndStaysWellFormed) {
  const std::pair<const char*, const char*> table[] = {
      {"<style>body{font-size:13px}</style>-20%", "-20%"},
      {"<p>Hello <B>big</B>\n  <em>world</em></p><p>again</p>",
       "Hello <b>big</b> <i>world</i>\nagain"},
      {"Fish &amp; chips &lt;3 &euro;&#33; &bogus; <br>x",
       "Fish &amp; chips &lt;3 \xE2\x82\xAC! &amp;bogus;\nx"},
      {"<b><i>crossed</b></i> <u>open", "<b><i>crossed</i></b> <u>open</u>"},
      {"<script>alert('<b>')</script><a href=\"x\">link</a> 1 < 2", "link 1 &lt; 2"},
  };
  for (const auto& [html, markup] : table) {
    const std::string converted = gtk::pangoMarkupFromHTML(html);
    EXPECT_EQ(converted, markup) << html;
    EXPECT_TRUE(pango_parse_markup(converted.c_str(), -1, 0, nullptr, nullptr, nullptr, nullptr))
        << html;
  }
}

}  // namespace
}  // namespace tavrino::testing
