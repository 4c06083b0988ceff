# cmake -DCPACK=cpack -DCONFIG=CPackConfig.cmake -DWORK_DIR=dir -DPACKAGE=name.zip
#       -DPROGRAM=prog.exe -DREADME=README.md -DOBJDUMP=objdump -P package_check.cmake
# Makes the release ZIP in WORK_DIR and checks that it holds, under its top directory, the released
# program and the README, byte for byte, and that the program carries no debug sections and no
# symbol table.
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

set(packed ${WORK_DIR}/unpacked/${top}/cvservinst.exe)
execute_process(COMMAND ${OBJDUMP} -h ${packed} OUTPUT_VARIABLE sections RESULT_VARIABLE status)
execute_process(COMMAND ${OBJDUMP} -t ${packed} OUTPUT_VARIABLE symbols RESULT_VARIABLE symbols_status)
if(NOT status EQUAL 0 OR NOT symbols_status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not read ${packed}")
endif()
string(REGEX MATCHALL "\\.debug_[a-z_]+" debug_sections "${sections}")
if(debug_sections)
  list(REMOVE_DUPLICATES debug_sections)
  message(FATAL_ERROR "cvservinst.exe in ${PACKAGE} has debug sections: ${debug_sections}")
endif()
if(NOT symbols MATCHES "SYMBOL TABLE:[\r\n]+no symbols")
  message(FATAL_ERROR "cvservinst.exe in ${PACKAGE} has a symbol table")
endif()
