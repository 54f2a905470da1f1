#include "platform/linux_dispatch.hpp"

namespace tavrino::platform {

LinuxDispatch::LinuxDispatch(std::shared_ptr<Clock> clock, std::size_t globalThreads)
    : loop_(std::move(clock)), pool_(globalThreads) {}

}  // namespace tavrino::platform
