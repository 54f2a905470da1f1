#include <gtest/gtest.h>

#include <sys/utsname.h>

#include "core/request_test.hpp"
#include "tavrino/util/request.hpp"

namespace tavrino {
namespace {

class DeviceModelTest : public testing::RequestTest {};

TEST_F(DeviceModelTest, MapsIdentifiersToMarketingNamesAndTheCacheFollowsTheHostsSetters) {
  const std::pair<const char*, const char*> names[] = {
      {"iPad8,8", "iPad Pro (12.9-inch) (3rd generation)"},
      {"AudioAccessory1,1", "HomePod"},
      {"iPhone12,1", "iPhone12,1"},
      {"", ""}};
  for (const auto& [identifier, name] : names) EXPECT_EQ(Util::mapToDevice(identifier), name);
  // {hardware, simulated model (empty or null: none), model}; a simulator that
  // names itself must not recurse.
  const struct {
    const char *hardware, *simulated, *model;
  } steps[] = {{"iPhone10,3", "", "iPhone X"},
               {"iPad8,1", "", "iPad Pro (11-inch)"},
               {"x86_64", "iPhone11,8", "Simulator iPhone XR"},
               {"i386", "iPhone11,8", "Simulator iPhone XR"},
               {"x86_64", "iPhone10,3", "Simulator iPhone X"},
               {"x86_64", nullptr, "Simulator iOS"},
               {"i386", "x86_64", "Simulator x86_64"},
               {"x86_64", "", "Simulator iOS"},
               {"iPhone10,3", "", "iPhone X"}};
  for (const auto& step : steps) {
    systemInfo().setHardwareIdentifier(step.hardware);
    systemInfo().setEnvironmentValue(
        "SIMULATOR_MODEL_IDENTIFIER",
        step.simulated ? std::optional<std::string>(step.simulated) : std::nullopt);
    EXPECT_EQ(Util::getDeviceModel(), step.model)
        << step.hardware << " " << (step.simulated ? step.simulated : "null");
    EXPECT_EQ(Util::createLocalVariable().at("dvcmdl"), step.model);
  }
}

TEST_F(DeviceModelTest, LinuxDefaultsDescribeAPhoneOnThisMachine) {
  platform::LinuxSystemInfo info;
  utsname names{};
  ASSERT_EQ(uname(&names), 0);
  EXPECT_EQ(info.hardwareIdentifier(), names.machine);
  EXPECT_EQ(info.bundleInfo("CFBundleShortVersionString"), "1.0");
  EXPECT_EQ(info.interfaceIdiom(), platform::InterfaceIdiom::phone);
  EXPECT_EQ(platform::languageCodeOfLocale("de_DE.UTF-8"), "de");
  EXPECT_EQ(platform::languageCodeOfLocale("pt-BR"), "pt");
  EXPECT_EQ(platform::languageCodeOfLocale("sr_RS@latin"), "sr");
  for (auto english : {"C", "POSIX", "", "C.UTF-8"}) {
    EXPECT_EQ(platform::languageCodeOfLocale(english), "en") << english;
  }
  EXPECT_EQ(platform::languageCodeOfLocale("1x_DE"), std::nullopt);
  EXPECT_EQ(platform::languageCodeOfLocale("d"), std::nullopt);
}

TEST(SanitizeTest, ReplacesTheListedLettersOnly) {
  EXPECT_EQ(Util::sanitize("\u00c7a\u011fr\u0131"), "Cagri");
  EXPECT_EQ(Util::sanitize("\u00c4\u00e4\u00df\u00e7\u00c7\u011f\u011e\u015f\u015e\u00fc\u00dc"
                           "\u0131\u0130\u00f6\u00d6"),
            "AasscCgGsSuUiIoO");
  EXPECT_EQ(Util::sanitize("caf\u00e9 \u00c5/1"), "caf\u00e9 \u00c5/1");
}

}  // namespace
}  // namespace tavrino
