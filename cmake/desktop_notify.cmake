# tavrino_desktop_notify: notifications on a Linux desktop through the session
# bus's notification server. GIO only (no toolkit), so any host process can
# link it. Built when pkg-config finds gio-2.0.
set(TAVRINO_HAVE_GIO OFF)
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(TAVRINO_GIO QUIET IMPORTED_TARGET gio-2.0)
endif()
if(NOT TAVRINO_GIO_FOUND)
  message(STATUS "gio-2.0 not found: desktop notifications are not built")
  return()
endif()

set(TAVRINO_HAVE_GIO ON)
tavrino_add_library(tavrino_desktop_notify DIRS src/gtk/notify DEPENDS tavrino_core tavrino_platform_linux
  PRIVATE PkgConfig::TAVRINO_GIO)
