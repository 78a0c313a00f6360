# Cross build for 32-bit Windows with Debian's MinGW-w64 (i686-w64-mingw32).
# Everything is linked statically, so Nilo-VOD.exe needs no MinGW DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(NILO_MINGW_TRIPLE i686-w64-mingw32)
# Either threads variant does: the program starts no thread.
find_program(NILO_MINGW_CXX NAMES ${NILO_MINGW_TRIPLE}-g++ ${NILO_MINGW_TRIPLE}-g++-win32 ${NILO_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(NILO_MINGW_CC NAMES ${NILO_MINGW_TRIPLE}-gcc ${NILO_MINGW_TRIPLE}-gcc-win32 ${NILO_MINGW_TRIPLE}-gcc-posix REQUIRED)
set(CMAKE_CXX_COMPILER ${NILO_MINGW_CXX})
set(CMAKE_C_COMPILER ${NILO_MINGW_CC})
set(CMAKE_RC_COMPILER ${NILO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NILO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
