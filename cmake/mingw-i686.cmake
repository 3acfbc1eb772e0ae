# Cross toolchain: 32-bit Windows (Sorvane.exe) with mingw-w64, posix thread model.
set(MINGW_PROCESSOR i686)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake")
