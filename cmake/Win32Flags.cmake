# Flags shared by every Windows program of the project.
#
# portivo_windows_program(<target> [GUI|CONSOLE]): a program that must load on Windows 2000:
#   subsystem version 5.0, runtime linked statically so that nothing beyond the system DLLs is needed.
# portivo_test_program(<target>): a test executable, built with the posix thread model.
set(PORTIVO_WIN32_DEFINES UNICODE _UNICODE WINVER=0x0500 _WIN32_WINNT=0x0500 _WIN32_IE=0x0500)
# Two builds of the same sources in different folders give the same bytes: no link time in the PE
# header (ld writes one by default), and no build path in what __FILE__ leaves behind.
set(PORTIVO_REPRODUCIBLE_COMPILE_FLAGS
  "-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=" "-ffile-prefix-map=${CMAKE_BINARY_DIR}/=")
set(PORTIVO_REPRODUCIBLE_LINK_FLAGS -Wl,--no-insert-timestamp)

function(portivo_windows_program target kind)
  target_compile_definitions(${target} PRIVATE ${PORTIVO_WIN32_DEFINES})
  target_compile_options(${target} PRIVATE -Wall -Wextra -Os -ffunction-sections -fdata-sections
    ${PORTIVO_REPRODUCIBLE_COMPILE_FLAGS})
  target_link_options(${target} PRIVATE -static -s -Wl,--gc-sections ${PORTIVO_REPRODUCIBLE_LINK_FLAGS}
    -Wl,--major-subsystem-version,5,--minor-subsystem-version,0
    -Wl,--major-os-version,5,--minor-os-version,0)
  if(kind STREQUAL "GUI")
    target_link_options(${target} PRIVATE -mwindows)
  endif()
  # mingw's kernel32 import library also lists the token functions that newer Windows forward
  # from kernel32; Windows 2000 has them in advapi32 only, so advapi32 must be searched first.
  target_link_libraries(${target} PRIVATE advapi32)
endfunction()

function(portivo_test_program target)
  set_target_properties(${target} PROPERTIES
    CXX_COMPILER_LAUNCHER "${PORTIVO_SOURCE_DIR}/cmake/posix-thread-model"
    CXX_LINKER_LAUNCHER "${PORTIVO_SOURCE_DIR}/cmake/posix-thread-model")
  target_compile_definitions(${target} PRIVATE ${PORTIVO_WIN32_DEFINES})
  # The test kit carries them to other machines: no path of this one in what __FILE__ leaves.
  target_compile_options(${target} PRIVATE ${PORTIVO_REPRODUCIBLE_COMPILE_FLAGS} -ffile-prefix-map=/usr/src/=)
  target_link_options(${target} PRIVATE -static)
endfunction()

include("${CMAKE_CURRENT_LIST_DIR}/MergedSections.cmake")

# portivo_installer_flags(<target>): the shipped installer cannot throw and carries no C++ library:
# no exceptions, no RTTI, no unwind tables, and it is linked by the C driver, so anything that
# would pull in libstdc++ (a standard string, operator new, a throw) fails to link instead.
function(portivo_installer_flags target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti
    -fno-threadsafe-statics> -fno-asynchronous-unwind-tables -fno-unwind-tables)
  set_target_properties(${target} PROPERTIES LINKER_LANGUAGE C)
  portivo_merged_sections_script("${CMAKE_BINARY_DIR}/generated/installer.ld")
  target_link_options(${target} PRIVATE "-Wl,-T,${CMAKE_BINARY_DIR}/generated/installer.ld")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${CMAKE_BINARY_DIR}/generated/installer.ld")
  # Run from a share or a stick, the image is copied to the page file first (ld has no option for
  # these header flags); before any signing, which comes later.
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${PORTIVO_SOURCE_DIR}/cmake/run-from-swap" "$<TARGET_FILE:${target}>" VERBATIM)
endfunction()
