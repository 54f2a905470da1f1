# One function per installed library, so a new one is a single call:
#   tavrino_add_library(<name> DIRS <source dirs> [DEPENDS <tavrino libraries>]
#                       [PUBLIC <usage deps>] [PRIVATE <link-only deps>]
#                       [FIND <find_package arguments of the private deps>...]
#                       [BORROW <source files of a library it depends on>]
#                       [EXCLUDE <regex of sources another library builds>])
# It builds <name> (static, or shared with a SONAME from the major version),
# the alias tavrino::<name less its tavrino_ prefix> (the installed name) and,
# in shared builds, <name>_internal: the same objects as a static archive for
# the in-tree programs (tests, fuzzers, benchmarks, tools) that reach symbols
# the shared object keeps hidden. BORROW compiles another library's private
# helpers in again for a shared build, where that library hides them; static
# builds take them from that library's archive.

# Gathers the sources of one layer; new files join the build without edits here.
function(tavrino_sources out)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND files ${found})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(tavrino_add_library name)
  cmake_parse_arguments(arg "" "EXCLUDE" "DIRS;DEPENDS;PUBLIC;PRIVATE;FIND;BORROW" ${ARGN})
  tavrino_sources(sources ${arg_DIRS})
  if(arg_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${arg_EXCLUDE}")
  endif()
  if(BUILD_SHARED_LIBS)
    list(TRANSFORM arg_BORROW PREPEND ${PROJECT_SOURCE_DIR}/)
    list(APPEND sources ${arg_BORROW})
  endif()
  add_library(${name}_objects OBJECT ${sources})
  target_include_directories(${name}_objects PRIVATE ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(${name}_objects PRIVATE TAVRINO_BUILDING_LIBRARY)
  target_link_libraries(${name}_objects PRIVATE ${arg_DEPENDS} ${arg_PUBLIC} ${arg_PRIVATE})

  set(variants ${name})
  if(BUILD_SHARED_LIBS)
    add_library(${name}_internal STATIC $<TARGET_OBJECTS:${name}_objects>)
    list(APPEND variants ${name}_internal)
  endif()
  add_library(${name} $<TARGET_OBJECTS:${name}_objects>)
  string(REGEX REPLACE "^tavrino_" "" export_name ${name})
  add_library(tavrino::${export_name} ALIAS ${name})
  set_target_properties(${name} PROPERTIES EXPORT_NAME ${export_name}
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  if(BUILD_SHARED_LIBS)
    target_link_options(${name} PRIVATE LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/exports.map)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/exports.map)
    if(NOT TAVRINO_SANITIZE)
      target_link_options(${name} PRIVATE LINKER:--no-undefined)
    endif()
  endif()

  foreach(target IN LISTS variants)
    string(REPLACE ${name} "" suffix ${target})
    list(TRANSFORM arg_DEPENDS APPEND "${suffix}" OUTPUT_VARIABLE depends)
    # A library built on the platform takes it as tavrino::tavrino does, so a
    # host linking both names the platform library in one form only.
    if(suffix STREQUAL "" AND TARGET tavrino)
      list(TRANSFORM depends REPLACE "^tavrino_platform_linux$" "tavrino")
    endif()
    target_include_directories(${target} PUBLIC
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    target_link_libraries(${target} PUBLIC ${depends} ${arg_PUBLIC} PRIVATE ${arg_PRIVATE})
  endforeach()
  # What in-tree programs link: the variant that shares objects with the tests.
  list(GET variants -1 in_tree)
  add_library(${name}_in_tree INTERFACE)
  target_link_libraries(${name}_in_tree INTERFACE ${in_tree})
  set_property(GLOBAL APPEND PROPERTY TAVRINO_LIBRARIES ${name})
  set_property(GLOBAL APPEND PROPERTY TAVRINO_STATIC_PACKAGES ${arg_FIND})
endfunction()
