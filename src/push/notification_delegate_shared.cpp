// The process-wide notification delegate.

#include "tavrino/push/notification_delegate.hpp"

namespace tavrino {

std::shared_ptr<QivNotificationDelegate> QivNotificationDelegate::shared() {
  // Never destroyed: the centre may still be asked for it at exit.
  static auto* const instance =
      new std::shared_ptr<QivNotificationDelegate>(std::make_shared<QivNotificationDelegate>());
  return *instance;
}

}  // namespace tavrino
