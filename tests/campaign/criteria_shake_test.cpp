// The shake trigger: arming, the threshold, one firing per kind, one poll per
// engine, and polling that ends.

#include "campaign/answer/engine_state.hpp"
#include "campaign/engine_test.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/platform/linux_motion_manager.hpp"

namespace tavrino {
namespace {

using std::chrono::milliseconds;

class CriteriaShakeTest : public testing::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    enableDebugLog();
    task.emplace();
  }
  void TearDown() override {
    task.reset();
    ServiceTest::TearDown();
  }

  platform::LinuxMotionManager& motion() {
    return dynamic_cast<platform::LinuxMotionManager&>(platform::current().motionManager());
  }

  std::size_t shows() { return testing::count(log(), testing::kShown); }

  // Dispatches a "SHAKE" campaign and lets it arm.
  void armShake(std::string_view function, Value params = {{"uvp", "p"}, {"zbid", "5"}},
                std::shared_ptr<ui::ViewController> view = nullptr) {
    task->calledEvent(view, params, baseUrl + "d?", "SHAKE", function, {{"page", "1"}},
                      processState().execcounter());
    dispatch().runFor(milliseconds(10));
  }

  void shake(double x, double y, double z) {
    motion().feed({x, y, z});
    dispatch().runFor(milliseconds(10));
  }

  std::shared_ptr<AsyncTask::State> state() { return task->handle().lock(); }

  std::optional<AsyncTask> task;
};

// All three axes must exceed the threshold; one poll serves the latest page
// and ends once every kind has fired.
TEST_F(CriteriaShakeTest, EachKindFiresOnceFromOnePollThatThenEnds) {
  auto first = std::make_shared<ui::ViewController>("First");
  auto second = std::make_shared<ui::ViewController>("Second");
  armShake("ui_sb", {{"uvp", "p"}}, first);
  const auto timer = state()->shakeTimer;
  ASSERT_TRUE(timer && timer->isValid() && motion().isAccelerometerActive());
  armShake("ui_sb", {{"uvp", "p"}}, second);
  EXPECT_EQ(state()->shakeTimer, timer) << "no second timer";
  EXPECT_EQ(state()->armed.view, second);
  shake(1.5, -1.5, 1.0);  // z exactly at the threshold
  shake(0.2, 3, 3);
  EXPECT_EQ(shows(), 0u);
  shake(1.5, -1.5, -1.01);
  shake(2, 2, 2);
  EXPECT_EQ(shows(), 1u) << "a banner fires once per engine";
  armShake("add_act", {{"id", "3"}, {"e", "SHAKE"}});
  shake(2, 2, 2);
  EXPECT_TRUE(timer->isValid());
  armShake("add_lbl", {{"id", "4"}, {"e", "SHAKE"}});
  shake(2, 2, 2);
  EXPECT_FALSE(timer->isValid());
  EXPECT_EQ(state()->shakeTimer, nullptr);
  EXPECT_FALSE(motion().isAccelerometerActive());
  EXPECT_EQ(state()->counter_ui + state()->counter_act + state()->counter_lbl, 3);

  armShake("ui_sb");
  EXPECT_FALSE(motion().isAccelerometerActive()) << "nothing left to fire";
  EXPECT_TRUE(log().contains("shake trigger spent. not armed"));
}

TEST_F(CriteriaShakeTest, DestroyingTheEngineStopsItsPollAndItsPendingArming) {
  task->calledEvent(nullptr, {{"uvp", "p"}}, baseUrl, "SHAKE", "ui_sb", {},
                    processState().execcounter());
  task.reset();
  dispatch().runFor(milliseconds(50));
  EXPECT_FALSE(motion().isAccelerometerActive()) << "the queued arming found no engine";

  task.emplace();
  armShake("ui_sb");
  const auto timer = state()->shakeTimer;
  AsyncTask other;
  other.calledEvent(nullptr, {{"uvp", "p"}}, baseUrl, "SHAKE", "ui_sb", {},
                    processState().execcounter());
  dispatch().runFor(milliseconds(10));
  task.reset();
  EXPECT_FALSE(timer->isValid());
  EXPECT_TRUE(motion().isAccelerometerActive()) << "the other engine still polls";
  shake(2, 2, 2);
  EXPECT_EQ(shows(), 1u);
}

}  // namespace
}  // namespace tavrino
