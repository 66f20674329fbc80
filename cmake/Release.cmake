# What a shipped PortivoInstaller.exe carries besides the run: the version resource and manifest
# generated from the project version, and the Authenticode signature.
#
# portivo_write_release_files(<folder>): writes version.h and installer.manifest into <folder> and
#   sets PORTIVO_RELEASE_FILES (every file the resource script takes from them) in the caller's scope.
# portivo_sign_after_link(<target>): with PORTIVO_SIGN_PKCS12 set, signs the target's file after
#   each link, in place (cmake/sign-installer); the password is read from the environment variable
#   PORTIVO_SIGN_PASSWORD at build time, so it never reaches the cache or the build files.
set(PORTIVO_SIGN_PKCS12 "" CACHE FILEPATH
  "PKCS#12 file to sign PortivoInstaller.exe with; its password comes from the environment variable PORTIVO_SIGN_PASSWORD")
set(PORTIVO_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signature (optional)")

function(portivo_write_release_files folder)
  set(PORTIVO_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    set(PORTIVO_MANIFEST_ARCH amd64)
  else()
    set(PORTIVO_MANIFEST_ARCH x86)
  endif()
  configure_file("${PORTIVO_SOURCE_DIR}/resources/version.h.in" "${folder}/version.h" @ONLY)
  configure_file("${PORTIVO_SOURCE_DIR}/resources/installer.manifest.in" "${folder}/installer.manifest" @ONLY)
  set(PORTIVO_RELEASE_FILES "${folder}/version.h;${folder}/installer.manifest;${PORTIVO_SOURCE_DIR}/resources/version.rc;${PORTIVO_SOURCE_DIR}/resources/portivo.ico"
    PARENT_SCOPE)
endfunction()

function(portivo_sign_after_link target)
  if(PORTIVO_SIGN_PKCS12 STREQUAL "")
    return()
  endif()
  get_filename_component(pkcs12 "${PORTIVO_SIGN_PKCS12}" ABSOLUTE)
  set(readable 1)
  if(EXISTS "${pkcs12}" AND NOT IS_DIRECTORY "${pkcs12}")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E sha256sum "${pkcs12}"
      RESULT_VARIABLE readable OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(NOT readable EQUAL 0)
    message(FATAL_ERROR "PORTIVO_SIGN_PKCS12: the certificate file ${pkcs12} is missing or cannot be read")
  endif()
  find_program(PORTIVO_OSSLSIGNCODE osslsigncode)
  if(NOT PORTIVO_OSSLSIGNCODE)
    message(FATAL_ERROR "PORTIVO_SIGN_PKCS12 needs osslsigncode (scripts/install-deps installs it)")
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${PORTIVO_SOURCE_DIR}/cmake/sign-installer" "${PORTIVO_OSSLSIGNCODE}"
            "$<TARGET_FILE:${target}>" "${pkcs12}" "${PORTIVO_SIGN_TIMESTAMP_URL}"
    COMMENT "Signing ${target} with ${pkcs12}"
    VERBATIM)
endfunction()
