#include <gtest/gtest.h>

#include <sys/utsname.h>

#include "core/request_test.hpp"
#include "tavrino/util/request.hpp"

namespace tavrino {
namespace {

class DeviceModelTest : public testing::RequestTest {};

TEST_F(DeviceModelTest, MapsIdentifiersToMarketingNames) {
  EXPECT_EQ(Util::mapToDevice("iPhone10,3"), "iPhone X");
  EXPECT_EQ(Util::mapToDevice("iPad8,8"), "iPad Pro (12.9-inch) (3rd generation)");
  EXPECT_EQ(Util::mapToDevice("AudioAccessory1,1"), "HomePod");
  EXPECT_EQ(Util::mapToDevice("iPhone12,1"), "iPhone12,1");
  EXPECT_EQ(Util::mapToDevice(""), "");
  EXPECT_EQ(Util::getDeviceModel(), "iPhone X");
}

TEST_F(DeviceModelTest, SimulatorNamesTheDeviceItStandsFor) {
  systemInfo().setEnvironmentValue("SIMULATOR_MODEL_IDENTIFIER", "iPhone11,8");
  EXPECT_EQ(Util::mapToDevice("x86_64"), "Simulator iPhone XR");
  systemInfo().setHardwareIdentifier("i386");
  EXPECT_EQ(Util::getDeviceModel(), "Simulator iPhone XR");
  systemInfo().setEnvironmentValue("SIMULATOR_MODEL_IDENTIFIER", std::nullopt);
  EXPECT_EQ(Util::mapToDevice("x86_64"), "Simulator iOS");
  // A simulator that names itself must not recurse.
  systemInfo().setEnvironmentValue("SIMULATOR_MODEL_IDENTIFIER", "x86_64");
  EXPECT_EQ(Util::mapToDevice("i386"), "Simulator x86_64");
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
