# Runs the sample package's programs under Wine the way the installer runs them: a quiet install
# posts its outcome and installs the files, each emulator setup's "/9" takes them away again, and
# the clean-up library's export answers.
#   cmake -DWINE_RUN=<tests/wine/wine-run> -DPREFIX=<prefix> -DPROBE=<sample_probe.exe>
#         -DPACKAGE=<sample-package folder> -DWORK=<scratch folder> -P SampleRoundTrip.cmake
cmake_minimum_required(VERSION 3.21)
set(failures 0)
macro(expect what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(STATUS "FAILED: ${what}: expected [${expected}], got [${actual}]")
    math(EXPR failures "${failures} + 1")
  endif()
endmacro()

# Runs a Windows program from a folder that is not its own, as the installer does. The output
# goes through a file: Wine's helper processes inherit a pipe and would hold this call.
function(wine out)
  execute_process(COMMAND "${WINE_RUN}" "${PREFIX}" win64 ${ARGN} WORKING_DIRECTORY "${WORK}"
    OUTPUT_FILE "${WORK}/wine.out" RESULT_VARIABLE rc TIMEOUT 120)
  file(READ "${WORK}/wine.out" output)
  string(REGEX REPLACE "\r" "" output "${output}")
  set(${out} "${output}" PARENT_SCOPE)
  set(${out}_RC "${rc}" PARENT_SCOPE)
endfunction()
function(unix_path out key text)
  string(REGEX MATCH "${key}=([^\n]*)" match "${text}")
  wine(converted winepath -u "${CMAKE_MATCH_1}")
  string(STRIP "${converted}" converted)
  set(${out} "${converted}" PARENT_SCOPE)
endfunction()
function(windows_path out path)
  string(REPLACE "/" "\\" windows "${path}")
  set(${out} "Z:${windows}" PARENT_SCOPE)
endfunction()

# The package as the installer unpacks it, with a PORTS.dat beside setup.exe.
set(STAGE "${WORK}/{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}")
file(REMOVE_RECURSE "${WORK}")
file(COPY "${PACKAGE}/" DESTINATION "${STAGE}")
file(WRITE "${STAGE}/PORTS.dat" "[PORTS]\r\n3=0,USB\\5&1\r\n[PRTVO]\r\n")
set(ENV{LANG} en_US.UTF-8)
wine(folders "${PROBE}" folders)
unix_path(PF programfiles "${folders}")
unix_path(CP commonprograms "${folders}")
file(REMOVE_RECURSE "${PF}/ORVIK" "${CP}/ORVIK Portivo")
windows_path(setup "${STAGE}/setup.exe")

# Each emulator setup undoes an install alike: the product's files go, the two top folders stay empty.
foreach(emulator OPESetup32 OPESetup64)
  # A quiet Japanese install with result message 1031.
  wine(out "${PROBE}" setup "${setup}" 1031 /clone_wait /hide_progress -l0x0411 -- -s1)
  expect("${emulator}: setup" "${out}" "exit=0\nposted=1031:0\n")
  file(GLOB installed RELATIVE "${PF}/ORVIK/Portivo" "${PF}/ORVIK/Portivo/*")
  file(GLOB menu RELATIVE "${CP}/ORVIK Portivo" "${CP}/ORVIK Portivo/*")
  expect("${emulator}: installed" "${installed};${menu}" "PORTS.dat;Portivo_User'sManual.pdf;ReadMeJ.txt;ReadMeJ.txt")
  file(SHA256 "${STAGE}/manual/JA/ReadMeJ.txt" staged)
  file(SHA256 "${PF}/ORVIK/Portivo/ReadMeJ.txt" copied)
  expect("${emulator}: read-me" "${copied}" "${staged}")
  windows_path(exe "${STAGE}/${emulator}.exe")
  wine(out "${exe}" /9)
  expect("${emulator} /9: exit code" "${out_RC}" "0")
  file(GLOB left "${PF}/ORVIK/*" "${CP}/ORVIK Portivo/*")
  expect("${emulator} /9: left" "${left}" "")
endforeach()

windows_path(dll "${STAGE}/QXCOMUSBCLN.dll")
wine(out "${PROBE}" call "${dll}")
expect("clean-up library" "${out}" "returned=0\n")
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} check(s) of the sample package failed")
endif()
