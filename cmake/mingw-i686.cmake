# Cross build of the 32-bit Windows program with Debian's MinGW-w64
# (i686-w64-mingw32): the build Nilo-VOD.exe ships as.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(NILO_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
