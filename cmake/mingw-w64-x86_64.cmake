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

# Header-only libraries of this machine (Debian's nlohmann-json3-dev and
# libcli11-dev) serve the build for Windows as they are: find_package finds
# them through a root of their own in the build folder, which holds their
# package files and their headers only (never /usr/include as a whole).
get_property(ortiva_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT ortiva_in_try_compile)
  set(ortiva_host_root ${CMAKE_BINARY_DIR}/host-header-libraries)
  foreach(package_headers IN ITEMS nlohmann_json:nlohmann CLI11:CLI)
    string(REPLACE ":" ";" package_headers ${package_headers})
    list(GET package_headers 0 package)
    list(GET package_headers 1 headers)
    if(EXISTS /usr/share/cmake/${package} AND EXISTS /usr/include/${headers})
      file(COPY /usr/share/cmake/${package} DESTINATION ${ortiva_host_root}/usr/share/cmake)
      file(MAKE_DIRECTORY ${ortiva_host_root}/usr/include)
      file(CREATE_LINK /usr/include/${headers} ${ortiva_host_root}/usr/include/${headers} SYMBOLIC)
    endif()
  endforeach()
  list(APPEND CMAKE_FIND_ROOT_PATH ${ortiva_host_root})
endif()
