// Out-of-line pieces of the device and application interfaces.

#include "tavrino/platform/application.hpp"
#include "tavrino/platform/motion_manager.hpp"
#include "tavrino/platform/system_info.hpp"

namespace tavrino::platform {

SystemInfo::~SystemInfo() = default;
Application::~Application() = default;
MotionManager::~MotionManager() = default;

}  // namespace tavrino::platform
