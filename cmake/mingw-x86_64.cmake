# Cross build for 64-bit Windows (x86_64-w64-mingw32). Not the shipped
# program: it lets the Windows backend's tests run under 64-bit Wine on hosts
# that cannot execute 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(NILO_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
