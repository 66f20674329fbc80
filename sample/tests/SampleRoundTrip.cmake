# Runs the sample package's programs under Wine the way the installer runs them, and checks the
# messages they post and what they leave on disk. Each case: the state before, the command, then
# the exit code, the posted outcome and the folders after.
#   cmake -DWINE_RUN=<tests/wine/wine-run> -DPREFIX=<prefix> -DPROBE=<sample_probe.exe>
#         -DPACKAGE=<sample-package folder> -DWORK=<scratch folder> -P SampleRoundTrip.cmake
cmake_minimum_required(VERSION 3.21)
foreach(var WINE_RUN PREFIX PROBE PACKAGE WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

set_property(GLOBAL PROPERTY sample_failures "")
function(fail text)
  set_property(GLOBAL APPEND PROPERTY sample_failures "${text}")
  message(STATUS "FAILED: ${text}")
endfunction()
function(expect_equal what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    fail("${what}: expected [${expected}], got [${actual}]")
  endif()
endfunction()

function(windows_path out path)
  string(REPLACE "/" "\\" windows "${path}")
  set(${out} "Z:${windows}" PARENT_SCOPE)
endfunction()

# Runs a Windows program in the test's prefix from a folder that is not the program's own, as the
# installer does. Sets <out> to its output and <out>_RC to its (8-bit) exit code.
# The output goes through a file: Wine's helper processes inherit a pipe and would hold this call
# until they leave.
function(wine out)
  execute_process(COMMAND "${WINE_RUN}" "${PREFIX}" win64 ${ARGN}
    WORKING_DIRECTORY "${WORK}/elsewhere"
    OUTPUT_FILE "${WORK}/wine.out" ERROR_FILE "${WORK}/wine.err" RESULT_VARIABLE rc TIMEOUT 120)
  file(READ "${WORK}/wine.out" output)
  set(${out} "${output}" PARENT_SCOPE)
  set(${out}_RC "${rc}" PARENT_SCOPE)
endfunction()

function(probe_value out text key)
  if("${text}" MATCHES "(^|\n)${key}=([^\r\n]*)")
    set(${out} "${CMAKE_MATCH_2}" PARENT_SCOPE)
  else()
    set(${out} "(missing)" PARENT_SCOPE)
  endif()
endfunction()

function(unix_path out windows)
  wine(converted winepath -u "${windows}")
  string(STRIP "${converted}" converted)
  if(converted STREQUAL "")
    message(FATAL_ERROR "winepath could not convert ${windows}")
  endif()
  set(${out} "${converted}" PARENT_SCOPE)
endfunction()

# "absent", or "present:" and the sorted entry names separated by "|".
function(folder_state out folder)
  if(NOT IS_DIRECTORY "${folder}")
    set(${out} "absent" PARENT_SCOPE)
    return()
  endif()
  file(GLOB entries RELATIVE "${folder}" "${folder}/*")
  list(SORT entries)
  string(REPLACE ";" "|" entries "${entries}")
  set(${out} "present:${entries}" PARENT_SCOPE)
endfunction()

function(expect_folders case company product menu)
  folder_state(actual "${PF}/ORVIK")
  expect_equal("${case}: Program Files\\ORVIK" "${actual}" "${company}")
  folder_state(actual "${PF}/ORVIK/Portivo")
  expect_equal("${case}: Program Files\\ORVIK\\Portivo" "${actual}" "${product}")
  folder_state(actual "${CP}/ORVIK Portivo")
  expect_equal("${case}: Start menu\\ORVIK Portivo" "${actual}" "${menu}")
endfunction()

function(expect_same_file case actual expected)
  if(NOT EXISTS "${actual}")
    fail("${case}: ${actual} is missing")
    return()
  endif()
  file(SHA256 "${actual}" a)
  file(SHA256 "${expected}" e)
  if(NOT a STREQUAL e)
    fail("${case}: ${actual} differs from ${expected}")
  endif()
endfunction()

# Starts a setup through the probe; sets RESULT_<field> for exit, dialog, posted (all posted
# messages, ";"-separated), sent and timeout.
function(run_setup stage message)
  windows_path(exe "${stage}/setup.exe")
  wine(out "${PROBE}" setup "${exe}" ${message} ${ARGN})
  foreach(key exit dialog timeout)
    probe_value(value "${out}" ${key})
    set(RESULT_${key} "${value}" PARENT_SCOPE)
  endforeach()
  string(REGEX MATCHALL "posted=[^\r\n]*" posted "${out}")
  string(REGEX MATCHALL "sent=[^\r\n]*" sent "${out}")
  set(RESULT_posted "${posted}" PARENT_SCOPE)
  set(RESULT_sent "${sent}" PARENT_SCOPE)
  set(RESULT_output "${out}" PARENT_SCOPE)
endfunction()

function(reset_machine)
  file(REMOVE_RECURSE "${PF}/ORVIK" "${CP}/ORVIK Portivo")
endfunction()

# --- The stage: the package as the installer unpacks it, with a PORTS.dat beside setup.exe. -----
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/elsewhere" "${WORK}/broken")
set(STAGE "${WORK}/{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}")
file(COPY "${PACKAGE}/" DESTINATION "${STAGE}")
file(WRITE "${STAGE}/PORTS.dat"
  "[PORTS]\r\n"
  "3=0,USB\\VID_0000&PID_0001\\5&1\r\n"
  "4=1,USB\\VID_0000&PID_0001\\5&2\r\n"
  "[PRTVO]\r\n"
  "COM9=0001,0000,1,1,1,0,1,0,0,0,PRT9,0,0,0,0,0,0,0,0\r\n")
# A package that lost its manual tree: the setup cannot install.
file(COPY "${PACKAGE}/setup.exe" DESTINATION "${WORK}/broken")
set(ENV{LANG} en_US.UTF-8)
set(ENV{LC_ALL} en_US.UTF-8)

wine(folders "${PROBE}" folders)
# One Wine server for all the runs below instead of a fresh one for each; it leaves by itself
# ten seconds after the last of them.
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "WINEPREFIX=${PREFIX}" wineserver -p10
  OUTPUT_FILE "${WORK}/wineserver.out" ERROR_FILE "${WORK}/wineserver.out" TIMEOUT 30)
probe_value(pf_w "${folders}" programfiles)
probe_value(cp_w "${folders}" commonprograms)
probe_value(temp_w "${folders}" temp)
unix_path(PF "${pf_w}")
unix_path(CP "${cp_w}")
unix_path(TEMP_DIR "${temp_w}")
set(LOG "${TEMP_DIR}/PortivoSample.log")
file(REMOVE "${LOG}")
reset_machine()
set(manual "Portivo_User'sManual.pdf")

# --- A: quiet Japanese install, result message 1031. ----------------------------------------------
run_setup("${STAGE}" 1031 /clone_wait /hide_progress -l0x0411 -- -s1 -KM)
expect_equal("A: exit code" "${RESULT_exit}" "0")
expect_equal("A: posted" "${RESULT_posted}" "posted=1031:0")
expect_equal("A: sent" "${RESULT_sent}" "")
expect_equal("A: dialog with /hide_progress" "${RESULT_dialog}" "none")
expect_folders("A" "present:Portivo" "present:PORTS.dat|${manual}|ReadMeJ.txt"
  "present:ReadMeJ.txt")
expect_same_file("A" "${PF}/ORVIK/Portivo/PORTS.dat" "${STAGE}/PORTS.dat")
expect_same_file("A" "${PF}/ORVIK/Portivo/ReadMeJ.txt" "${STAGE}/manual/JA/ReadMeJ.txt")
expect_same_file("A" "${PF}/ORVIK/Portivo/${manual}" "${STAGE}/manual/JA/${manual}")

# --- B: the 32-bit emulator setup's "/9" empties, but keeps, the two top folders. ----------------
windows_path(ope32 "${STAGE}/OPESetup32.exe")
wine(out "${ope32}" /9)
expect_equal("B: OPESetup32 /9 exit code" "${out_RC}" "0")
expect_folders("B" "present:" "absent" "present:")
wine(out "${ope32}" /9)
expect_equal("B: OPESetup32 /9 with nothing installed" "${out_RC}" "0")

# --- C: interactive install as an English user: the dialog shows, the outcome goes to 1024. ------
run_setup("${STAGE}" 1024 /clone_wait)
expect_equal("C: exit code" "${RESULT_exit}" "0")
expect_equal("C: posted" "${RESULT_posted}" "posted=1024:0")
expect_equal("C: dialog" "${RESULT_dialog}" "PortivoSampleTSetDialog")
expect_folders("C" "present:Portivo" "present:PORTS.dat|${manual}|ReadMeE.txt"
  "present:ReadMeE.txt")
expect_same_file("C" "${PF}/ORVIK/Portivo/ReadMeE.txt" "${STAGE}/manual/EN/ReadMeE.txt")

# --- D: the 64-bit emulator setup must find the 32-bit Program Files the installer uses. ---------
windows_path(ope64 "${STAGE}/OPESetup64.exe")
wine(out "${ope64}" /9)
expect_equal("D: OPESetup64 /9 exit code" "${out_RC}" "0")
expect_folders("D" "present:" "absent" "present:")

# --- E: quiet install as a Simplified Chinese user, then "-u1" takes everything away. -----------
run_setup("${STAGE}" 1024 /clone_wait /hide_progress -l0x0804 -- -s1)
expect_equal("E: install posted" "${RESULT_posted}" "posted=1024:0")
expect_same_file("E" "${PF}/ORVIK/Portivo/ReadMeE.txt" "${STAGE}/manual/SC/ReadMeE.txt")
run_setup("${STAGE}" 1024 /clone_wait /hide_progress -l0x0804 -- -u1)
expect_equal("E: uninstall exit code" "${RESULT_exit}" "0")
expect_equal("E: uninstall posted" "${RESULT_posted}" "posted=1024:0")
expect_folders("E" "absent" "absent" "absent")

# --- F: a package without its manual tree: failure is posted and the exit code is 2. ------------
run_setup("${WORK}/broken" 1024 /clone_wait /hide_progress -l0x0409 -- -s1)
expect_equal("F: exit code" "${RESULT_exit}" "2")
if(NOT RESULT_posted MATCHES "^posted=1024:[1-9][0-9]*$")
  fail("F: expected one nonzero outcome posted as 1024, got [${RESULT_posted}]")
endif()
reset_machine()

# --- G: the clean-up library's export, called by name as the removal run calls it. -------------
windows_path(dll "${STAGE}/QXCOMUSBCLN.dll")
wine(out "${PROBE}" call "${dll}")
probe_value(export "${out}" export)
probe_value(returned "${out}" returned)
expect_equal("G: export" "${export}" "found")
expect_equal("G: returned" "${returned}" "0")

# --- The log tells the demo what each program received. ----------------------------------------
if(EXISTS "${LOG}")
  file(READ "${LOG}" log)
else()
  set(log "")
endif()
foreach(expected
    "[setup.exe " "/hide_progress -l0x0411 \"/W32:" "installer's command line: [-s1 -KM]"
    "PORTS.dat: found" "2 USB port line(s), 1 emulator port line(s)" "    | COM9=0001,0000,"
    "posted outcome 0 as message 1031" "exit code 2"
    "[OPESetup32.exe " "32-bit build" "[OPESetup64.exe " "64-bit build"
    "[QXCOMUSBCLN.dll " "RCVCLN_UninstQXCOMUSB called")
  string(FIND "${log}" "${expected}" at)
  if(at EQUAL -1)
    fail("log: no [${expected}] in ${LOG}")
  endif()
endforeach()

get_property(failures GLOBAL PROPERTY sample_failures)
list(LENGTH failures failed)
if(failed GREATER 0)
  message(FATAL_ERROR "${failed} check(s) of the sample package failed")
endif()
message(STATUS "every check of the sample package passed")
