# The installed package: libraries, headers, the CMake package and pkg-config
# files, split into a runtime and a development component that CPack turns
# into two Debian packages.
include(CMakePackageConfigHelpers)

get_property(tavrino_libraries GLOBAL PROPERTY TAVRINO_LIBRARIES)
set(tavrino_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/tavrino)
set(tavrino_pkgconfig_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS tavrino ${tavrino_libraries} EXPORT tavrinoTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(DIRECTORY include/tavrino DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(EXPORT tavrinoTargets NAMESPACE tavrino:: DESTINATION ${tavrino_cmake_dir} COMPONENT dev)

# Static archives carry their dependencies to the host's link; shared objects
# record them themselves.
set(TAVRINO_STATIC_DEPENDENCIES "")
if(NOT BUILD_SHARED_LIBS)
  get_property(packages GLOBAL PROPERTY TAVRINO_STATIC_PACKAGES)
  foreach(package IN LISTS packages)
    string(APPEND TAVRINO_STATIC_DEPENDENCIES "find_dependency(${package})\n")
  endforeach()
endif()
set(TAVRINO_CONFIG_NEEDS_GIO OFF)
if(TAVRINO_HAVE_GIO AND NOT BUILD_SHARED_LIBS)
  set(TAVRINO_CONFIG_NEEDS_GIO ON)
endif()
configure_package_config_file(cmake/tavrinoConfig.cmake.in ${PROJECT_BINARY_DIR}/tavrinoConfig.cmake
  INSTALL_DESTINATION ${tavrino_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tavrinoConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tavrinoConfig.cmake ${PROJECT_BINARY_DIR}/tavrinoConfigVersion.cmake
  DESTINATION ${tavrino_cmake_dir} COMPONENT dev)

# tavrino_pkg_config(<module> DESCRIPTION <text> LIBS <flags> [REQUIRES <modules>]
#                    [REQUIRES_PRIVATE <modules>] [LIBS_PRIVATE <flags>])
# The private fields only matter to a static link, so shared builds leave them
# out (a host then needs none of the libraries' development packages).
# The file finds its prefix from where it lies, so an extracted or moved
# package works as well as an installed one.
function(tavrino_pkg_config module)
  cmake_parse_arguments(pc "" "DESCRIPTION" "LIBS;REQUIRES;REQUIRES_PRIVATE;LIBS_PRIVATE" ${ARGN})
  if(BUILD_SHARED_LIBS)
    unset(pc_REQUIRES_PRIVATE)
    unset(pc_LIBS_PRIVATE)
  endif()
  file(RELATIVE_PATH pc_prefix /root/${tavrino_pkgconfig_dir} /root)
  string(REGEX REPLACE "/$" "" pc_prefix ${pc_prefix})
  foreach(field LIBS REQUIRES REQUIRES_PRIVATE LIBS_PRIVATE)
    list(JOIN pc_${field} " " pc_${field})
  endforeach()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/tavrino.pc.in ${PROJECT_BINARY_DIR}/${module}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${module}.pc DESTINATION ${tavrino_pkgconfig_dir} COMPONENT dev)
endfunction()

# As tavrino::tavrino: the platform library stays in the link. Platform first:
# its archive member comes for the undefined symbol, then the core archive
# supplies what both need.
tavrino_pkg_config(tavrino DESCRIPTION "Marketing SDK: tracking, in-app campaigns, push, app inbox"
  LIBS -Wl,--undefined=${TAVRINO_DEFAULT_PLATFORM_SYMBOL}
       -Wl,--push-state,--no-as-needed -ltavrino_platform_linux -Wl,--pop-state -ltavrino_core
  REQUIRES nlohmann_json
  REQUIRES_PRIVATE sqlite3 libcurl freetype2 libpng libjpeg libgif libxml-2.0
  LIBS_PRIVATE -pthread)

if(TARGET tavrino_gtk)
  tavrino_pkg_config(tavrino-gtk DESCRIPTION "Tavrino's desktop platform for GTK 4 applications"
    LIBS -ltavrino_gtk REQUIRES tavrino gtk4 webkitgtk-6.0)
endif()
if(TARGET tavrino_desktop_notify)
  tavrino_pkg_config(tavrino-desktop-notify DESCRIPTION "Tavrino's desktop notifications over the session bus"
    LIBS -ltavrino_desktop_notify REQUIRES tavrino REQUIRES_PRIVATE gio-2.0)
endif()

# --- Debian packages: `cpack -G DEB` in a shared build (scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrino)
set(CPACK_PACKAGE_VENDOR Tavrino)
set(CPACK_PACKAGE_CONTACT "Tavrino maintainers <sdk@tavrino.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tavrino marketing SDK")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtavrino${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtavrino-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# Headers the public headers include; a header dependency is not derivable.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS nlohmann-json3-dev)
if(TARGET tavrino_gtk)
  string(APPEND CPACK_DEBIAN_DEV_PACKAGE_DEPENDS ", libgtk-4-dev, libwebkitgtk-6.0-dev")
endif()
include(CPack)
