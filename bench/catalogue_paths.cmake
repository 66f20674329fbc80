# Script mode: writes the catalogue's files to OUT, one "<INSTALL|REMOVAL> <package path>" a line,
# so that the benchmark lays out its package from the same rows as the installer's tables.
include("${CMAKE_CURRENT_LIST_DIR}/../cmake/Catalogue.cmake")
portivo_read_catalogue()
set(text "")
foreach(set rel IN ZIP_LISTS PORTIVO_SETS PORTIVO_REL_PATHS)
  string(APPEND text "${set} ${rel}\n")
endforeach()
file(WRITE "${OUT}" "${text}")
