# Lays out a package folder the way a vendor hands one over (the install-set files at their paths,
# the removal-set files at the root), for the packages this repository builds itself.
#
# portivo_package(NAME <target> DIR <folder> LABEL <text>
#                 [FILES_DIR <folder of ready files at their package paths>]
#                 [BUILT <package path> <file> ...]  [DEPENDS <targets>...])
# Each catalogue file comes from BUILT, else from FILES_DIR, else is a small placeholder naming its
# path and resource id. The folder is complete once <target> has been built.
include("${CMAKE_CURRENT_LIST_DIR}/Catalogue.cmake")
set(PORTIVO_ASSEMBLE_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/AssemblePackage.cmake")

function(portivo_package)
  cmake_parse_arguments(P "" "NAME;DIR;LABEL;FILES_DIR" "BUILT;DEPENDS" ${ARGN})
  set(built_paths "")
  set(copy_commands "")
  set(built_files "")
  list(LENGTH P_BUILT n)
  if(n GREATER 0)
    math(EXPR last "${n} - 1")
    foreach(i RANGE 0 ${last} 2)
      math(EXPR j "${i} + 1")
      list(GET P_BUILT ${i} rel)
      list(GET P_BUILT ${j} file)
      list(APPEND built_paths "${rel}")
      list(APPEND built_files "${file}")
      list(APPEND copy_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different "${file}" "${P_DIR}/${rel}")
    endforeach()
  endif()
  string(REPLACE ";" "|" built_arg "${built_paths}")
  add_custom_target(${P_NAME} ALL
    COMMAND ${CMAKE_COMMAND} "-DDIR=${P_DIR}" "-DLABEL=${P_LABEL}" "-DFILES_DIR=${P_FILES_DIR}"
            "-DSKIP=${built_arg}" -P "${PORTIVO_ASSEMBLE_SCRIPT}"
    ${copy_commands}
    DEPENDS ${P_DEPENDS} ${built_files}
    COMMENT "Laying out the ${P_LABEL} package in ${P_DIR}"
    VERBATIM)
endfunction()
