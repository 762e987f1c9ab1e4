# Writes a C++ source holding the tuner's page files as byte arrays (run at build time,
# re-run whenever a page file changes). Input: PAGE_FILES (name|type|... pairs of files in
# PAGE_DIR), OUTPUT.
string(REPLACE "|" ";" PAGE_FILES "${PAGE_FILES}")
set(arrays "")
set(entries "")
set(index 0)
list(LENGTH PAGE_FILES count)
while(index LESS count)
  list(GET PAGE_FILES ${index} name)
  math(EXPR next "${index} + 1")
  list(GET PAGE_FILES ${next} type)
  file(READ "${PAGE_DIR}/${name}" hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(MAKE_C_IDENTIFIER "${name}" id)
  string(APPEND arrays "const unsigned char k_${id}[] = {${bytes}};\n")
  if(name STREQUAL "index.html")
    set(path "/")
  else()
    set(path "/${name}")
  endif()
  string(APPEND entries "        {\"${path}\", \"${type}; charset=utf-8\", k_${id}, ${size}},\n")
  math(EXPR index "${index} + 2")
endwhile()
file(WRITE "${OUTPUT}.new" "// Generated from app/tuner/page by EmbedPage.cmake.
#include \"app/tuner/TunerPage.h\"

namespace pxhost::tuner {
namespace {
${arrays}}  // namespace

const std::vector<PageAsset>& pageAssets() {
    static const std::vector<PageAsset> assets = {
${entries}    };
    return assets;
}

}  // namespace pxhost::tuner
")
configure_file("${OUTPUT}.new" "${OUTPUT}" COPYONLY)
