// The device's marketing name from its hardware model identifier.

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tavrino/platform/platform.hpp"
#include "tavrino/util/request.hpp"

namespace tavrino::Util {
namespace {

const std::unordered_map<std::string_view, std::string_view>& deviceNames() {
  static const std::unordered_map<std::string_view, std::string_view> names = {
      {"iPod5,1", "iPod Touch 5"},
      {"iPod7,1", "iPod Touch 6"},
      {"iPhone3,1", "iPhone 4"},
      {"iPhone3,2", "iPhone 4"},
      {"iPhone3,3", "iPhone 4"},
      {"iPhone4,1", "iPhone 4s"},
      {"iPhone5,1", "iPhone 5"},
      {"iPhone5,2", "iPhone 5"},
      {"iPhone5,3", "iPhone 5c"},
      {"iPhone5,4", "iPhone 5c"},
      {"iPhone6,1", "iPhone 5s"},
      {"iPhone6,2", "iPhone 5s"},
      {"iPhone7,2", "iPhone 6"},
      {"iPhone7,1", "iPhone 6 Plus"},
      {"iPhone8,1", "iPhone 6s"},
      {"iPhone8,2", "iPhone 6s Plus"},
      {"iPhone8,4", "iPhone SE"},
      {"iPhone9,1", "iPhone 7"},
      {"iPhone9,3", "iPhone 7"},
      {"iPhone9,2", "iPhone 7 Plus"},
      {"iPhone9,4", "iPhone 7 Plus"},
      {"iPhone10,1", "iPhone 8"},
      {"iPhone10,4", "iPhone 8"},
      {"iPhone10,2", "iPhone 8 Plus"},
      {"iPhone10,5", "iPhone 8 Plus"},
      {"iPhone10,3", "iPhone X"},
      {"iPhone10,6", "iPhone X"},
      {"iPhone11,2", "iPhone XS"},
      {"iPhone11,4", "iPhone XS Max"},
      {"iPhone11,6", "iPhone XS Max"},
      {"iPhone11,8", "iPhone XR"},
      {"iPad2,1", "iPad 2"},
      {"iPad2,2", "iPad 2"},
      {"iPad2,3", "iPad 2"},
      {"iPad2,4", "iPad 2"},
      {"iPad3,1", "iPad 3"},
      {"iPad3,2", "iPad 3"},
      {"iPad3,3", "iPad 3"},
      {"iPad3,4", "iPad 4"},
      {"iPad3,5", "iPad 4"},
      {"iPad3,6", "iPad 4"},
      {"iPad4,1", "iPad Air"},
      {"iPad4,2", "iPad Air"},
      {"iPad4,3", "iPad Air"},
      {"iPad5,3", "iPad Air 2"},
      {"iPad5,4", "iPad Air 2"},
      {"iPad6,11", "iPad 5"},
      {"iPad6,12", "iPad 5"},
      {"iPad7,5", "iPad 6"},
      {"iPad7,6", "iPad 6"},
      {"iPad2,5", "iPad Mini"},
      {"iPad2,6", "iPad Mini"},
      {"iPad2,7", "iPad Mini"},
      {"iPad4,4", "iPad Mini 2"},
      {"iPad4,5", "iPad Mini 2"},
      {"iPad4,6", "iPad Mini 2"},
      {"iPad4,7", "iPad Mini 3"},
      {"iPad4,8", "iPad Mini 3"},
      {"iPad4,9", "iPad Mini 3"},
      {"iPad5,1", "iPad Mini 4"},
      {"iPad5,2", "iPad Mini 4"},
      {"iPad6,3", "iPad Pro (9.7-inch)"},
      {"iPad6,4", "iPad Pro (9.7-inch)"},
      {"iPad6,7", "iPad Pro (12.9-inch)"},
      {"iPad6,8", "iPad Pro (12.9-inch)"},
      {"iPad7,1", "iPad Pro (12.9-inch) (2nd generation)"},
      {"iPad7,2", "iPad Pro (12.9-inch) (2nd generation)"},
      {"iPad7,3", "iPad Pro (10.5-inch)"},
      {"iPad7,4", "iPad Pro (10.5-inch)"},
      {"iPad8,1", "iPad Pro (11-inch)"},
      {"iPad8,2", "iPad Pro (11-inch)"},
      {"iPad8,3", "iPad Pro (11-inch)"},
      {"iPad8,4", "iPad Pro (11-inch)"},
      {"iPad8,5", "iPad Pro (12.9-inch) (3rd generation)"},
      {"iPad8,6", "iPad Pro (12.9-inch) (3rd generation)"},
      {"iPad8,7", "iPad Pro (12.9-inch) (3rd generation)"},
      {"iPad8,8", "iPad Pro (12.9-inch) (3rd generation)"},
      {"AppleTV5,3", "Apple TV"},
      {"AppleTV6,2", "Apple TV 4K"},
      {"AudioAccessory1,1", "HomePod"},
  };
  return names;
}

std::string tableName(std::string_view identifier) {
  const auto it = deviceNames().find(identifier);
  return std::string(it == deviceNames().end() ? identifier : it->second);
}

bool isSimulator(std::string_view identifier) {
  return identifier == "i386" || identifier == "x86_64";
}

// The simulator names the device it stands for. Looked up in the table only,
// so a simulator that names itself cannot recurse.
std::string simulatorName(std::string_view simulated) {
  return "Simulator " + tableName(simulated.empty() ? std::string_view("iOS") : simulated);
}

}  // namespace

std::string machineName() {
  return platform::current().systemInfo().hardwareIdentifier();
}

std::string getDeviceModel() {
  auto& info = platform::current().systemInfo();
  std::string identifier = info.hardwareIdentifier();
  const bool simulator = isSimulator(identifier);
  std::string simulated;
  if (simulator) simulated = info.environmentValue("SIMULATOR_MODEL_IDENTIFIER").value_or("");

  // The last answer, kept for as long as the facts it came from hold: a host
  // may change them at any time.
  struct Answer {
    std::string identifier;
    std::string simulated;
    std::string name;
  };
  static std::mutex mu;
  static std::optional<Answer> last;
  std::lock_guard lock(mu);
  if (!last || last->identifier != identifier || last->simulated != simulated) {
    std::string name = simulator ? simulatorName(simulated) : tableName(identifier);
    last = Answer{std::move(identifier), std::move(simulated), std::move(name)};
  }
  return last->name;
}

std::string mapToDevice(std::string_view identifier) {
  if (!isSimulator(identifier)) return tableName(identifier);
  return simulatorName(
      platform::current().systemInfo().environmentValue("SIMULATOR_MODEL_IDENTIFIER").value_or(""));
}

}  // namespace tavrino::Util
