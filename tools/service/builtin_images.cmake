# Turns the files of images/ into builtin_images.cpp, so the service serves
# them without a file system and tests read the very same bytes.
function(tavrino_generate_builtin_images output)
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/images/*.png
       ${CMAKE_CURRENT_SOURCE_DIR}/images/*.jpg ${CMAKE_CURRENT_SOURCE_DIR}/images/*.gif)
  list(SORT files)
  set(arrays "")
  set(table "")
  set(index 0)
  foreach(file IN LISTS files)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    get_filename_component(name ${file} NAME)
    file(READ ${file} hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND arrays "constexpr unsigned char kImage${index}[] = {${bytes}};\n")
    string(APPEND table "    {\"${name}\", {reinterpret_cast<const char*>(kImage${index}), sizeof kImage${index}}},\n")
    math(EXPR index "${index} + 1")
  endforeach()
  file(CONFIGURE OUTPUT ${output} @ONLY CONTENT
"// Generated from tools/service/images/ by builtin_images.cmake.
#include \"service/builtin_images.hpp\"

namespace tavrino::service {
namespace {
@arrays@
}  // namespace

const std::vector<BuiltInImage>& builtInImages() {
  static const std::vector<BuiltInImage> images = {
@table@  };
  return images;
}

}  // namespace tavrino::service
")
endfunction()
