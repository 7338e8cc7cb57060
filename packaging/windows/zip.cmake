# ortiva-cli for Windows technicians: cpack in the build folder makes
# ortiva-cli-<version>-windows-x64.zip, a folder of that name holding
# ortiva-cli.exe (runtime linked in: nothing else to install) and README.txt.
# cli/ installs the program; the build for Windows puts programs at the top.
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/windows/README.txt
               ${CMAKE_CURRENT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt DESTINATION .)
if(NOT TARGET ortiva-cli)
  message(STATUS "ortiva-cli is not built for Windows: the zip holds only README.txt")
endif()

set(CPACK_PACKAGE_NAME ortiva-cli)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ortiva Instruments")
set(CPACK_PACKAGE_FILE_NAME ortiva-cli-${PROJECT_VERSION}-windows-x64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
include(CPack)
