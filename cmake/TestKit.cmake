# The Windows test kit: test programs and what they use, laid out in windows-test-kit/ of the build
# folder at their places in it (the programs find everything relative to themselves), with the
# kit's own files, and zipped into PortivoInstaller-test-kit.zip.
#
# portivo_test_kit(NAME <target> SOURCE <folder of run-tests.cmd and README.txt>
#                  FILES <paths relative to the build folder; "x/" an empty folder>...
#                  DEPENDS <targets and files>...)
# Naming a program or library target in DEPENDS makes its file a dependency too.
set(PORTIVO_ASSEMBLE_TEST_KIT_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/AssembleTestKit.cmake")

function(portivo_test_kit)
  cmake_parse_arguments(K "" "NAME;SOURCE" "FILES;DEPENDS" ${ARGN})
  set(zip "${CMAKE_BINARY_DIR}/PortivoInstaller-test-kit.zip")
  add_custom_command(OUTPUT "${zip}"
    COMMAND "${CMAKE_COMMAND}" "-DBUILD=${CMAKE_BINARY_DIR}" "-DKIT_SOURCE=${K_SOURCE}" "-DFILES=${K_FILES}"
            -P "${PORTIVO_ASSEMBLE_TEST_KIT_SCRIPT}"
    DEPENDS "${PORTIVO_ASSEMBLE_TEST_KIT_SCRIPT}" "${K_SOURCE}/run-tests.cmd" "${K_SOURCE}/README.txt" ${K_DEPENDS}
    COMMENT "Laying out the Windows test kit"
    VERBATIM)
  add_custom_target(${K_NAME} ALL DEPENDS "${zip}")
endfunction()
