# The Windows program as a ZIP an administrator unpacks: cvservinst-<version>-win64/ holding
# cvservinst.exe and README.md. `cmake --install` puts the same two files under the prefix.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  # The default, "C:/Program Files (x86)/cvservinst", means nothing on the Linux build machine.
  set(CMAKE_INSTALL_PREFIX ${CMAKE_BINARY_DIR}/install CACHE PATH "Install prefix" FORCE)
endif()

install(TARGETS cvservinst RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME cvservinst)
set(CPACK_PACKAGE_VENDOR "Corvane Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME cvservinst-${PROJECT_VERSION}-win64)
include(CPack)
