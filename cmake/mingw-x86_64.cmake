# Cross toolchain: 64-bit Windows (Sorvane64.exe) with mingw-w64, posix thread model.
set(MINGW_PROCESSOR x86_64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake")
