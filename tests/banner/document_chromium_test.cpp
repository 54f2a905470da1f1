// The banner document rendered in headless Chromium (when installed): the
// DOM it ends with shows what ran, in order.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_dir.hpp"
#include "tavrino/banner/banner_document.hpp"

namespace tavrino {
namespace {

// The chromium executable on PATH, if installed.
std::optional<std::filesystem::path> findChromium() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::filesystem::path candidate = std::filesystem::path(dir) / "chromium";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

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

class DocumentChromiumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    chromium_ = findChromium();
    if (!chromium_) GTEST_SKIP() << "chromium is not installed";
    // Fails at once without a network: the jQuery element simply does not load.
    ASSERT_TRUE(banner::setJQueryCDNHost("127.0.0.1:9"));
  }
  void TearDown() override { banner::setJQueryCDNHost(banner::kDefaultJQueryCDNHost); }

  // Renders html with --dump-dom and returns what Chromium printed; timeout
  // runs it in its own process group and kills the whole group, helpers
  // included, once the limit passes.
  std::string render(const std::string& html) {
    static int serial = 0;
    const auto page = dir_.path() / ("page" + std::to_string(++serial) + ".html");
    std::ofstream(page, std::ios::binary) << html;
    const std::string command = "timeout -s KILL 60 '" + chromium_->string() +
                                "' --headless --no-sandbox --disable-gpu --no-first-run "
                                "'--user-data-dir=" +
                                (dir_.path() / "profile").string() + "' --dump-dom 'file://" +
                                page.string() + "' 2>/dev/null";
    FILE* out = ::popen(command.c_str(), "r");
    std::string dom;
    char buffer[4096];
    for (std::size_t n; out && (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
      dom.append(buffer, n);
    const int status = out ? ::pclose(out) : -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "chromium failed or timed out";
    return dom;
  }

  std::optional<std::filesystem::path> chromium_;
  testing::TempDir dir_;
};

// Each fragment as a function and as statements: all run in order, see the
// parameters, and no hostile value breaks out of the script element.
TEST_F(DocumentChromiumTest, FragmentsRunInOrderWithTheParameters) {
  for (const bool asFunction : {true, false}) {
    SCOPED_TRACE(asFunction ? "functions" : "statements");
    Value params = {{"k", "K"},
                    {"a", "dropped"},
                    {"v1", "</script><p id='injected'>broken</p><script>"},
                    {"v2", "<!--<script>"},
                    {"cap", "<div id=\"capm\">banner <b>body</b></div>"},
                    {"ccss", "#capm{color:red}"},
                    {"lf", "//127.0.0.1:9/style.css\\|//127.0.0.1:9/extra.js"}};
    for (const char* key : {"ev", "ev2", "ev3"}) {
      params[key] = asFunction ? "function(){" + mark(key) + "}()" : mark(key);
    }
    params["cbf"] =
        asFunction ? "function(p){if(p===banner_params){" + mark("cbf", "p") + kRecordValues + "}}"
                   : mark("cbf") + kRecordValues;
    const std::string dom = render(banner::createHTMLContent(params));
    for (const char* expected :
         {"<div id=\"capm\">banner <b>body</b></div>", "data-order=\"ev:K+ ev2:K+ ev3:K+ cbf:K+ \"",
          "data-v1=\"%3C%2Fscript%3E%3Cp%20id%3D'injected'%3Ebroken%3C%2Fp%3E%3Cscript%3E\"",
          "data-v2=\"%3C!--%3Cscript%3E\"", "data-a=\"[]\""}) {
      EXPECT_NE(dom.find(expected), std::string::npos) << expected << "\n" << dom;
    }
    EXPECT_EQ(dom.find("<p id=\"injected\">"), std::string::npos) << dom;
  }
}

}  // namespace
}  // namespace tavrino
