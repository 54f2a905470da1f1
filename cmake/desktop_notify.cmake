# tavrino_desktop_notify: notifications on a Linux desktop through the session
# bus's notification server. GIO only (no toolkit), so any host process can
# link it. Built when pkg-config finds gio-2.0.
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(TAVRINO_GIO QUIET IMPORTED_TARGET gio-2.0)
endif()
if(NOT TAVRINO_GIO_FOUND)
  message(STATUS "gio-2.0 not found: desktop notifications are not built")
  return()
endif()

file(GLOB desktop_notify_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/gtk/notify/*.cpp)
add_library(tavrino_desktop_notify ${desktop_notify_sources})
add_library(tavrino::desktop_notify ALIAS tavrino_desktop_notify)
target_include_directories(tavrino_desktop_notify PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(tavrino_desktop_notify PUBLIC tavrino PRIVATE PkgConfig::TAVRINO_GIO)
target_compile_definitions(tavrino_desktop_notify PRIVATE TAVRINO_BUILDING_LIBRARY)
set_target_properties(tavrino_desktop_notify PROPERTIES EXPORT_NAME desktop_notify)

# Its own export set: the package loads it, and finds GIO, only when it was
# installed.
install(TARGETS tavrino_desktop_notify EXPORT tavrinoDesktopNotifyTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(EXPORT tavrinoDesktopNotifyTargets NAMESPACE tavrino::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tavrino)
