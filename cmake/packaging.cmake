# The Windows program as a ZIP an administrator unpacks: cvservinst-<version>-win64/ holding
# cvservinst.exe and README.md. `cmake --install` puts the same two files under the prefix.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  # The default, "C:/Program Files (x86)/cvservinst", means nothing on the Linux build machine.
  set(CMAKE_INSTALL_PREFIX ${CMAKE_BINARY_DIR}/install CACHE PATH "Install prefix" FORCE)
endif()

# The program as released, in dist/: without debug sections and symbol table, which are mostly the
# MinGW runtime's and triple its size. bin/ keeps the full build for debugging. strip writes the PE
# time stamp anew, from SOURCE_DATE_EPOCH when that is set.
set(CVSERVINST_DIST_PROGRAM ${CMAKE_BINARY_DIR}/dist/cvservinst.exe)
set(strip_environment "")
if(CVSERVINST_SOURCE_DATE_EPOCH)
  set(strip_environment SOURCE_DATE_EPOCH=${CVSERVINST_SOURCE_DATE_EPOCH})
endif()
add_custom_command(OUTPUT ${CVSERVINST_DIST_PROGRAM}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/dist
  COMMAND ${CMAKE_COMMAND} -E env ${strip_environment}
          ${CMAKE_STRIP} --strip-all -o ${CVSERVINST_DIST_PROGRAM} $<TARGET_FILE:cvservinst>
  DEPENDS cvservinst
  COMMENT "Stripping cvservinst.exe into dist/"
  VERBATIM)
add_custom_target(cvservinst_dist ALL DEPENDS ${CVSERVINST_DIST_PROGRAM})

install(PROGRAMS ${CVSERVINST_DIST_PROGRAM} DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME cvservinst)
set(CPACK_PACKAGE_VENDOR "Corvane Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME cvservinst-${PROJECT_VERSION}-win64)
# The ZIP's entries come in name order; their times are the commit's, set by cpack-project.cmake.
set(CPACK_CVSERVINST_SOURCE_DATE_EPOCH ${CVSERVINST_SOURCE_DATE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-project.cmake)
include(CPack)
