#include <gtest/gtest.h>

#include <string>

#include "banner/chromium_render.hpp"
#include "desktop_session/temp_dir.hpp"
#include "tavrino/banner/banner_document.hpp"

namespace tavrino {
namespace {

// Appends "name:" + banner_params.k + (body markup present ? "+" : "-") to the
// body's data-order attribute, so the dumped DOM shows what ran, in order.
std::string mark(const std::string& name, const std::string& params = "banner_params") {
  return "document.body.setAttribute('data-order',(document.body.getAttribute('data-order')||'')+"
         "'" +
         name + ":'+" + params + ".k+(document.getElementById('capm')?'+':'-')+' ');";
}

// Records the hostile values as the page sees them, and the emptied "a".
const std::string kRecordValues =
    "document.body.setAttribute('data-v1',encodeURIComponent(banner_params.v1));"
    "document.body.setAttribute('data-v2',encodeURIComponent(banner_params.v2));"
    "document.body.setAttribute('data-a','['+banner_params.a+']');";

Value hostileParams() {
  return {{"k", "K"},
          {"a", "dropped"},
          {"v1", "</script><p id='injected'>broken</p><script>"},
          {"v2", "<!--<script>"},
          {"cap", "<div id=\"capm\">banner <b>body</b></div>"},
          {"ccss", "#capm{color:red}"},
          {"lf", "//127.0.0.1:9/style.css\\|//127.0.0.1:9/extra.js"}};
}

const std::string kExpectedOrder = "data-order=\"ev:K+ ev2:K+ ev3:K+ cbf:K+ \"";
const std::string kExpectedV1 =
    "data-v1=\"%3C%2Fscript%3E%3Cp%20id%3D'injected'%3Ebroken%3C%2Fp%3E%3Cscript%3E\"";
const std::string kExpectedV2 = "data-v2=\"%3C!--%3Cscript%3E\"";

class DocumentChromiumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    chromium_ = testing::findChromium();
    if (!chromium_) GTEST_SKIP() << "chromium is not installed";
    // Fails at once without a network: the jQuery element simply does not load.
    ASSERT_TRUE(banner::setJQueryCDNHost("127.0.0.1:9"));
  }
  void TearDown() override { banner::setJQueryCDNHost(banner::kDefaultJQueryCDNHost); }

  std::string render(const std::string& html) {
    auto dom = testing::renderDom(*chromium_, dir_.path(), html);
    EXPECT_TRUE(dom.has_value()) << "chromium failed or timed out";
    return dom.value_or("");
  }

  std::optional<std::filesystem::path> chromium_;
  testing::TempDir dir_;
};

// Each fragment as a function and as statements: all run in order, see the
// parameters, and no hostile value breaks out of the script element.
TEST_F(DocumentChromiumTest, FragmentsRunInOrderWithTheParameters) {
  for (const bool asFunction : {true, false}) {
    SCOPED_TRACE(asFunction ? "functions" : "statements");
    Value params = hostileParams();
    for (const char* key : {"ev", "ev2", "ev3"}) {
      params[key] = asFunction ? "function(){" + mark(key) + "}()" : mark(key);
    }
    params["cbf"] =
        asFunction ? "function(p){if(p===banner_params){" + mark("cbf", "p") + kRecordValues + "}}"
                   : mark("cbf") + kRecordValues;
    const std::string dom = render(banner::createHTMLContent(params));
    EXPECT_NE(dom.find("<div id=\"capm\">banner <b>body</b></div>"), std::string::npos) << dom;
    EXPECT_NE(dom.find(kExpectedOrder), std::string::npos) << dom;
    EXPECT_NE(dom.find(kExpectedV1), std::string::npos) << dom;
    EXPECT_NE(dom.find(kExpectedV2), std::string::npos) << dom;
    EXPECT_NE(dom.find("data-a=\"[]\""), std::string::npos) << dom;
    EXPECT_EQ(dom.find("<p id=\"injected\">"), std::string::npos) << dom;
  }
}

}  // namespace
}  // namespace tavrino
