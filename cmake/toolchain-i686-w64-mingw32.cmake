# Windows, i686, with Debian's MinGW-w64 compilers.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SWK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
