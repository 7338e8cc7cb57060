# Windows x64 from Debian with mingw-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win --toolchain cmake/mingw-w64-x86_64.cmake
# The programs link the C and C++ runtimes and winpthread statically, so an
# .exe runs on a bare Windows 10/11. Test programs run under Wine through
# scripts/wine-run, with a private prefix in the build folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORTIVA_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER ${ORTIVA_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER ${ORTIVA_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER ${ORTIVA_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORTIVA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static also takes winpthread as an archive (the posix flavour's threads).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The private Wine prefix the test programs run in, and the runner that gives
# each test process its own pseudo-terminal COM port pairs.
set(ORTIVA_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix the Windows test programs run in")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run;${ORTIVA_WINEPREFIX}")
