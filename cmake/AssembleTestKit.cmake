# Script mode: lays out the Windows test kit in <BUILD>/windows-test-kit: every entry of FILES
# (relative to the build folder; one ending in "/" is a folder made empty) at the same place as in
# the build folder, and run-tests.cmd and README.txt from KIT_SOURCE at its root; then zips it,
# folder and all, into <BUILD>/PortivoInstaller-test-kit.zip.
set(kit "${BUILD}/windows-test-kit")
file(REMOVE_RECURSE "${kit}")
foreach(relative IN LISTS FILES)
  if(relative MATCHES "/$")
    file(MAKE_DIRECTORY "${kit}/${relative}")
  else()
    get_filename_component(parent "${kit}/${relative}" DIRECTORY)
    file(COPY "${BUILD}/${relative}" DESTINATION "${parent}")
  endif()
endforeach()
file(COPY "${KIT_SOURCE}/run-tests.cmd" "${KIT_SOURCE}/README.txt" DESTINATION "${kit}")
file(REMOVE "${BUILD}/PortivoInstaller-test-kit.zip")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf PortivoInstaller-test-kit.zip --format=zip windows-test-kit
  WORKING_DIRECTORY "${BUILD}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the test kit could not be zipped: ${failed}")
endif()
