cmake_minimum_required(VERSION 3.21)
# Script mode, run at build time: writes OUT, the resource script of the payload's digest table,
# from LIST, a file of "<resource id> <file>" lines. One RCDATA resource (id ID: a number, or the
# name of one that the including script defines) of three little-endian 32-bit words per file:
# resource id, size, CRC-32.
#
# CMake has no CRC-32 of its own, but a gzip stream ends with the CRC-32 and the length of what it
# holds (RFC 1952), and CMake writes gzip itself: no tool beyond CMake is needed.
file(STRINGS "${LIST}" rows)
set(scratch "${OUT}.gz")
set(rc "// Generated at build time by cmake/PayloadDigests.cmake from the catalogue and the package\n")
string(APPEND rc "// files. Do not edit.\n\nLANGUAGE 0x09, 0x01\n${ID} RCDATA\nBEGIN\n")
set(separator "")
foreach(row IN LISTS rows)
  if(NOT row MATCHES "^([0-9]+) (.+)$")
    message(FATAL_ERROR "${LIST}: cannot read the line '${row}'")
  endif()
  set(id ${CMAKE_MATCH_1})
  set(file "${CMAKE_MATCH_2}")
  file(SIZE "${file}" size)
  file(ARCHIVE_CREATE OUTPUT "${scratch}" PATHS "${file}" FORMAT raw COMPRESSION GZip
    COMPRESSION_LEVEL 1)
  file(SIZE "${scratch}" gz_size)
  math(EXPR trailer "${gz_size} - 8")
  file(READ "${scratch}" hex OFFSET ${trailer} LIMIT 8 HEX)
  # The trailer's words are little-endian: CRC-32, then the length modulo 2^32.
  string(REGEX REPLACE "^(..)(..)(..)(..)(..)(..)(..)(..)$" "\\4\\3\\2\\1;\\8\\7\\6\\5" words "${hex}")
  list(GET words 0 crc)
  list(GET words 1 length)
  math(EXPR length "0x${length}" OUTPUT_FORMAT DECIMAL)
  math(EXPR expected "${size} % 4294967296")
  if(NOT length EQUAL expected)
    message(FATAL_ERROR "${file}: the digest covers ${length} bytes, the file has ${size}")
  endif()
  string(APPEND rc "${separator}  ${id}L, ${size}L, 0x${crc}L")
  set(separator ",\n")
endforeach()
string(APPEND rc "\nEND\n")
file(REMOVE "${scratch}")
file(CONFIGURE OUTPUT "${OUT}" CONTENT "${rc}" @ONLY)
