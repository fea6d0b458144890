# minizip comes from Debian's zlib source package, unpacked by scripts/setup.sh;
# zlib itself from libz-mingw-w64-dev.
set(_minizip_hint "$ENV{HOME}/.cache/tarnwick/minizip-dir")
if(DEFINED ENV{TARNWICK_CACHE})
  set(_minizip_hint "$ENV{TARNWICK_CACHE}/minizip-dir")
endif()
if(NOT MINIZIP_SOURCE_DIR AND EXISTS ${_minizip_hint})
  file(STRINGS ${_minizip_hint} _minizip_dir LIMIT_COUNT 1)
  set(MINIZIP_SOURCE_DIR ${_minizip_dir} CACHE PATH "minizip sources (zlib's contrib/minizip)")
endif()
if(NOT EXISTS ${MINIZIP_SOURCE_DIR}/unzip.c)
  message(FATAL_ERROR "minizip sources not found; run scripts/setup.sh (MINIZIP_SOURCE_DIR='${MINIZIP_SOURCE_DIR}')")
endif()

find_library(ZLIB_STATIC NAMES libz.a z REQUIRED)
add_library(minizip STATIC
  ${MINIZIP_SOURCE_DIR}/ioapi.c
  ${MINIZIP_SOURCE_DIR}/unzip.c
  ${MINIZIP_SOURCE_DIR}/zip.c)
target_compile_definitions(minizip PUBLIC NOCRYPT NOUNCRYPT)
target_compile_options(minizip PRIVATE -w)
target_include_directories(minizip SYSTEM PUBLIC ${MINIZIP_SOURCE_DIR})
target_link_libraries(minizip PUBLIC ${ZLIB_STATIC})
