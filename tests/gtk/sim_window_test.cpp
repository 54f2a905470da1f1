// The simulator's window mode: the default scenario plays in a GTK window on
// a private X server the simulator starts itself, and its pictures are
// screenshots in which WebKit drew the banners.

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <nlohmann/json.hpp>

#include <sstream>

#include "desktop_session/helper_process.hpp"
#include "desktop_session/temp_dir.hpp"
#include "screenshot.hpp"

namespace tavrino::testing {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

int pixelsNear(const std::string& png, int r, int g, int b) {
  return Screenshot(gdk_texture_new_from_filename(png.c_str(), nullptr)).count({r, g, b});
}

TEST(SimWindow, DefaultScenarioIsScreenshotFromARealWindowWithItsMainLoopCost) {
  TempDir dir;
  const auto run = runProgram(
      "/usr/bin/env",
      {"-u", "DISPLAY", TAVRINO_SIM_PATH, "--json", "--out", (dir.path() / "out").string()}, 120s);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  std::map<std::string, Json> last;  // the last line of each kind, and of each picture kind
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    const auto json = Json::parse(line);
    last[json["kind"]] = json;
    if (json["kind"] == "picture") last["picture " + json.value("pictureKind", "")] = json;
    if (json.contains("notificationServer")) last["server"] = json["notificationServer"];
  }
  const Json& summary = last["summary"];
  EXPECT_EQ(last["start"]["pictureKind"], "window");
  EXPECT_EQ(summary["warnings"], 0);
  EXPECT_GE(summary["pngCount"], 10);
  EXPECT_EQ(summary["pngCount"], summary["pictureCount"]);
  EXPECT_GT(summary["mainLoop"]["tasks"], 100);
  EXPECT_GE(summary["mainLoop"]["longestMs"], summary["mainLoop"]["p99Ms"]);
  EXPECT_NE(summary["mainLoop"]["longest"].get<std::string>().find(" during "), std::string::npos);
  // The Home pop-up's page background, painted by WebKit; and the listing
  // badges' red "-20%" drawn by GTK.
  const auto pictures = dir.path() / "out" / "pictures";
  EXPECT_GT(pixelsNear(pictures / "01-show-home-p-home.png", 0xff, 0xf8, 0xe1), 30000);
  EXPECT_GT(
      pixelsNear(pictures / "06-list-items-i-a1-p-49-90-i-b2-p-19-90-i-c.png", 0xd3, 0x2f, 0x2f),
      10);
  // The push as the notification server received it and drew it (its blue
  // background) on the screen beside the window.
  EXPECT_EQ(last["server"]["summary"], "Your cart misses you");
  EXPECT_NE(last["server"]["image"], "");
  EXPECT_GT(pixelsNear(last["picture screen"]["png"], 0x28, 0x55, 0x77), 10000);
}

}  // namespace
}  // namespace tavrino::testing
