# What both cross toolchains share: mingw-w64 with the posix thread model for
# the processor in MINGW_PROCESSOR (i686 or x86_64), set by the toolchain file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MINGW_PROCESSOR})

set(CMAKE_C_COMPILER ${MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PROCESSOR}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Statically linked, so the exe needs no mingw runtime DLL on a stock Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Release builds carry no symbol tables: half the size to carry to a server.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
