// The simulator's host side: the mirror it keeps through the public tree
// observer (checked against the real tree after real banners come and go),
// the pictures drawn from it, the reading of the SDK's log into decisions,
// and the child process it runs for a push (its streams, exit code and
// temporary directory; one that does not finish is ended).

#include <gtest/gtest.h>

#include <fstream>
#include <thread>
#include <tuple>

#include "sim/extension_process.hpp"
#include "sim/mirror.hpp"
#include "sim/picture.hpp"
#include "sim/run_files.hpp"
#include "sim/sdk_messages.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/banner/banner_document.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/ui/window.hpp"

namespace tavrino::sim {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class SimMirrorTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    window = ui::Window::make(ui::Rect::make(0, 0, 390, 844));
    host = std::make_shared<ui::ViewController>("HomeViewController");
    auto title = ui::TextView::make(ui::Rect::make(0, 47, 390, 50));
    title->setAttributedText(ui::AttributedText::plain("Shop <now>", ui::Font::systemFont(15)));
    host->view()->addSubview(title);
    window->setRootViewController(host);
    mirror = std::make_shared<Mirror>(*window);
    window->setTreeObserver(mirror);
    application().setKeyWindow(window);
  }
  void TearDown() override {
    application().setKeyWindow(nullptr);
    SdkTest::TearDown();
  }
  static platform::LinuxApplication& application() {
    return dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  }

  std::shared_ptr<popUpController> show(const Value& params, std::string_view function,
                                        const ui::Image& image = {}) {
    auto banner = std::make_shared<popUpController>();
    banner->createBanner(host, image, params, function, {390, 844}, {});
    return banner;
  }

  // What a host sees when it installs a fresh observer now.
  std::map<std::uint64_t, MirrorNode> freshMirror() {
    Mirror fresh(*window);
    for (const auto& view : window->subviews()) fresh.viewAttached(*view);
    return fresh.nodes();
  }

  // The fields a picture is drawn from, by node.
  static auto tree(const std::map<std::uint64_t, MirrorNode>& nodes) {
    std::map<std::uint64_t, std::tuple<std::uint64_t, std::vector<std::uint64_t>, ui::Rect, bool,
                                       std::string, std::string, std::string>>
        out;
    for (const auto& [id, n] : nodes) {
      out[id] = {n.parent, n.children, n.frame, n.hidden, n.title, n.webHtml, n.accessibilityId};
    }
    return out;
  }

  std::shared_ptr<ui::Window> window;
  std::shared_ptr<ui::ViewController> host;
  std::shared_ptr<Mirror> mirror;
};

TEST_F(SimMirrorTest, KeepsTheTreeAsBannersComeAndGoAndDrawsItInOrder) {
  mirror->take();
  const Value params = {
      {"zbid", "7"}, {"w", "300px"}, {"h", "250px"}, {"cap", "<b>Hi & \"you\"</b>"}};
  auto popUp = show(params, "lbcs");
  auto strip = show({{"bc", "nt"}, {"cap", "Sale"}, {"btx", "Go"}, {"xtx", "Later"}}, "bl");
  const ui::Image image(600, 400, Data{0x89, 'P', 'N', 'G'});
  auto pictured = show({{"zbid", "9"}}, "img", image);
  EXPECT_EQ(tree(mirror->nodes()), tree(freshMirror()));

  const auto changes = mirror->take();
  ASSERT_EQ(changes.appeared.size(), 3u) << "one line per banner, not per view";
  EXPECT_TRUE(changes.gone.empty());
  const std::string described =
      mirror->describe(popUp->view()->identity()) + mirror->describe(strip->view()->identity());
  for (const char* part : {"WebView [document] 300x250", "#qiv_close", "Button \"Go\""}) {
    EXPECT_TRUE(has(described, part)) << described;
  }

  // The document goes whole into the iframe, escaped for the attribute;
  // campaign markup never lands in the page itself, host text is escaped;
  // to scale: the pop-up's container sits where the tree has it.
  const std::string html = pictureHtml(*mirror, "step 1: <home>");
  for (const auto& part : {"<title>step 1: &lt;home&gt;</title>"s,
                           "srcdoc=\"" + escapeHtml(banner::createHTMLContent(params)) + "\"",
                           "Shop &lt;now&gt;"s, "data-id=\"qiv_close\""s, ">Later</span>"s,
                           "src=\"data:image/png;base64," + base64(image.data()) + "\"",
                           "left:45px;top:297px;width:300px;height:250px;"s}) {
    EXPECT_TRUE(has(html, part)) << part;
  }
  EXPECT_FALSE(has(html, "<b>Hi"));

  // Hiding, then taking banners away.
  strip->view()->setHidden(true);
  EXPECT_TRUE(has(pictureHtml(*mirror, ""), "display:none;"));
  EXPECT_EQ(mirror->take().changed, 1);
  const std::string before = mirror->describe(popUp->view()->identity());
  popUp->view()->removeFromSuperview();
  pictured->view()->removeFromSuperview();
  const auto gone = mirror->take();
  EXPECT_EQ(gone.gone.size(), 2u);
  EXPECT_EQ(gone.gone[0], before);
  EXPECT_EQ(mirror->find(popUp->webView->identity()), nullptr) << "the subtree goes with it";
  EXPECT_EQ(tree(mirror->nodes()), tree(freshMirror()));

  // A banner that comes and goes within one step leaves no line.
  auto brief = show(params, "lbcs");
  brief->view()->removeFromSuperview();
  const auto quiet = mirror->take();
  EXPECT_TRUE(quiet.appeared.empty() && quiet.gone.empty());

  // Drawn back to front, parents first.
  auto back = ui::View::make(ui::Rect::make(0, 0, 10, 10));
  auto inner = ui::View::make(ui::Rect::make(1, 1, 2, 2));
  back->addSubview(inner);
  auto front = ui::View::make(ui::Rect::make(0, 0, 10, 10));
  window->addSubview(back);
  window->addSubview(front);
  window->bringSubviewToFront(back);
  const auto order = mirror->drawingOrder();
  const auto at = [&](const std::shared_ptr<ui::View>& v) {
    return std::find(order.begin(), order.end(), v->identity()) - order.begin();
  };
  EXPECT_EQ(order.front(), window->identity());
  EXPECT_LT(at(front), at(back)) << "brought to front: drawn last";
  EXPECT_EQ(at(inner), at(back) + 1);
}

TEST(SimMessages, LogLinesBecomeDecisions) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"ui_sb setParameters called.", "shown", "passed its show criteria"},
      {"checking showing criteria .per visit show count.return.", "heldBack", "in this visit"},
      {"show once per pageview. group name : g1.return.", "heldBack", "group \"g1\""},
      {"AsyncTask doinbackground called. hasinboxmessage : write", "filed", "filed into the inbox"},
      {"AsyncTask doinbackground called. hasinboxmessage : skip", "filed", "not filed (skip)"},
      {"add_act called with : \nkey : id , value : 31\nkey : di , value : i", "action",
       "id=31 di=i"},
      {"create banner called.", "shown", "lays the campaign out"},
      {"create banner called. Unknown banner function : zz", "refused", "unknown kind zz"},
      {"create banner ratio is zero or infinite.return.", "refused", "ratio is zero"},
      {"calledEvent execcount did not match", "dropped", "newer page view"},
      {"request failed : timed out", "failed", "timed out"},
      {"shake failed : boom", "failed", "boom"},
  };
  for (const auto& [line, what, text] : cases) {
    const auto decision = decisionOf(line);
    ASSERT_TRUE(decision) << line;
    EXPECT_EQ(decision->what, what) << line;
    EXPECT_TRUE(has(decision->text, text)) << line << " -> " << decision->text;
  }
  for (const char* noise : {"checking showing criteria ", "get cookie called", "execute called."}) {
    EXPECT_FALSE(decisionOf(noise)) << noise;
  }
  EXPECT_EQ(stripLogPrefix("tavrino_log : x"), "x");
  EXPECT_TRUE(isNotableStep("push click redirection triggered"));
  EXPECT_FALSE(isNotableStep("execute called."));
}

TEST(SimRunFiles, EscapingEncodingSlugsAndAStoreDiffWithoutPageViewBookkeeping) {
  EXPECT_EQ(escapeHtml("<a href=\"x\">'&'</a>"),
            "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
  EXPECT_EQ((std::vector<std::string>{base64({}), base64({'f'}), base64({'f', 'o'}),
                                      base64({'f', 'o', 'o', 0xff})}),
            (std::vector<std::string>{"", "Zg==", "Zm8=", "Zm9v/w=="}));
  const StoreSnapshot before = {{"vc", "1"}, {"segment", "a 1"}, {"gone", "x"}, {"same", "s"}};
  const StoreSnapshot after = {{"vc", "2"}, {"segment", "b 1"}, {"new", ""}, {"same", "s"}};
  using Change = std::tuple<std::string, std::optional<std::string>, std::optional<std::string>>;
  std::vector<Change> changes;
  for (const auto& c : diffStore(before, after)) changes.emplace_back(c.key, c.before, c.after);
  // Added though its value is empty; the page views' bookkeeping left out.
  EXPECT_EQ(changes, (std::vector<Change>{{"new", std::nullopt, ""},
                                          {"segment", "a 1", "b 1"},
                                          {"gone", "x", std::nullopt}}));
  EXPECT_EQ(slug("***"), "step");
}

TEST(SimRunFiles, OutputFolderIsEmptiedOnlyWhenTheSimulatorMadeIt) {
  testing::TempDir dir;
  const auto folder = dir.path() / "out";
  std::string error;
  ASSERT_TRUE(prepareOutputFolder(folder, &error)) << error;
  std::ofstream(folder / "old.html") << "x";
  std::filesystem::create_directories(folder / "data" / "deep");
  ASSERT_TRUE(prepareOutputFolder(folder, &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(folder / "old.html"));
  EXPECT_FALSE(std::filesystem::exists(folder / "data"));

  const auto foreign = dir.path() / "mine";
  std::filesystem::create_directories(foreign);
  std::ofstream(foreign / "thesis.txt") << "precious";
  EXPECT_FALSE(prepareOutputFolder(foreign, &error));
  EXPECT_TRUE(has(error, "did not write")) << error;
  EXPECT_TRUE(std::filesystem::exists(foreign / "thesis.txt"));
  std::ofstream(dir.path() / "file") << "x";
  EXPECT_FALSE(prepareOutputFolder(dir.path() / "file", &error));
}

TEST(SimExtensionProcess, CollectsStreamsAndExitCodeAndEndsAHangWhileTheLoopTurns) {
  int pumped = 0;
  const ChildOutcome child =
      runChild({"/bin/sh", "-c", "sleep 0.2; echo \"tmp=$TMPDIR\"; echo oops >&2; exit 3"},
               "/tmp/sim-run/attachments", 30s, [&] {
                 ++pumped;
                 std::this_thread::sleep_for(5ms);
               });
  ASSERT_TRUE(child.started);
  EXPECT_FALSE(child.timedOut);
  EXPECT_EQ(child.exitCode, 3);
  EXPECT_NE(child.output.find("tmp=/tmp/sim-run/attachments\n"), std::string::npos) << child.output;
  EXPECT_NE(child.output.find("oops"), std::string::npos);
  EXPECT_GT(pumped, 0) << "the main loop keeps turning while the child runs";

  // A missing program, or one that hangs, is reported, not waited for.
  EXPECT_FALSE(runChild({"/nonexistent/extension"}, "", 5s, [] {}).started);
  const ChildOutcome hanging =
      runChild({"/bin/sleep", "60"}, "", 1s, [] { std::this_thread::sleep_for(10ms); });
  ASSERT_TRUE(hanging.started);
  EXPECT_TRUE(hanging.timedOut);
  EXPECT_EQ(hanging.exitCode, -1);
}

}  // namespace
}  // namespace tavrino::sim
