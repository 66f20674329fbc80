cmake_minimum_required(VERSION 3.21)
# Script mode: fails unless EXE's file header asks the loader to copy the image to the page file
# before it runs from removable media (0x0400) or a network share (0x0800).
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT dump MATCHES "\nCharacteristics[ \t]+(0x[0-9a-fA-F]+)")
  message(FATAL_ERROR "no file header characteristics in ${EXE}")
endif()
math(EXPR flags "${CMAKE_MATCH_1} & 0x0C00" OUTPUT_FORMAT HEXADECIMAL)
if(NOT flags STREQUAL "0xc00")
  message(FATAL_ERROR "${EXE} has characteristics ${CMAKE_MATCH_1}: run-from-swap flags ${flags}, not 0xc00")
endif()
message(STATUS "${EXE} runs from the page file when it lies on a share or removable media")
