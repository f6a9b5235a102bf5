# Cross-compiles for Windows with Debian's MinGW-w64 compilers (posix thread model).
# Included by the per-architecture toolchain files after they set
# CMAKE_SYSTEM_PROCESSOR and SWK_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${SWK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SWK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SWK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SWK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only what a program names itself: the setup must not import user32, shell32
# and the like when it starts (see platform/win32/delay_import.cmake).
set(CMAKE_C_STANDARD_LIBRARIES "-lkernel32 -ladvapi32" CACHE STRING "Libraries linked into every program" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "-lkernel32 -ladvapi32" CACHE STRING "Libraries linked into every program" FORCE)
