# Shared by the MinGW-w64 toolchain files, which set NILO_MINGW_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR first. Everything is linked statically, so the
# program needs no MinGW DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)

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
