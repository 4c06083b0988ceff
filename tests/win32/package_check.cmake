# cmake -DCPACK=cpack -DCONFIG=CPackConfig.cmake -DWORK_DIR=dir -DPACKAGE=name.zip
#       -DPROGRAM=prog.exe -DREADME=README.md -P package_check.cmake
# Makes the release ZIP in WORK_DIR and checks that it holds, under its top directory, the built
# program and the README, byte for byte.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CPACK} --config ${CONFIG} -B ${WORK_DIR}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cpack failed (${status}):\n${output}")
endif()

set(zip ${WORK_DIR}/${PACKAGE})
if(NOT EXISTS ${zip})
  file(GLOB made ${WORK_DIR}/*.zip)
  message(FATAL_ERROR "${PACKAGE} was not made; cpack made: ${made}\n${output}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zip} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" entries "${listing}")
message(STATUS "${PACKAGE}: ${entries}")

string(REGEX REPLACE "\\.zip$" "" top ${PACKAGE})
file(MAKE_DIRECTORY ${WORK_DIR}/unpacked)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${WORK_DIR}/unpacked)
foreach(pair "cvservinst.exe=${PROGRAM}" "README.md=${README}")
  string(REGEX MATCH "^([^=]+)=(.*)$" _ "${pair}")
  set(entry ${top}/${CMAKE_MATCH_1})
  set(source ${CMAKE_MATCH_2})
  if(NOT entry IN_LIST entries)
    message(FATAL_ERROR "${PACKAGE} lacks ${entry}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/unpacked/${entry} ${source}
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${entry} in ${PACKAGE} is not ${source}")
  endif()
endforeach()
