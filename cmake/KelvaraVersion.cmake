# One version number for everything: the project's VERSION (major.minor.patch) feeds the version
# resource, the manifest, the About dialog's title, the installer and the release's file names.
#
# The texts keep the form of the first release: the version strings read "1.00" (the minor number
# in two digits) and the title reads "نگارش 1.0"; a patch release adds ".patch" to both
# ("1.00.2", "1.0.2"), so that two releases never show the same text.
set(KELVARA_VERSION ${PROJECT_VERSION})
set(v_major ${PROJECT_VERSION_MAJOR})
set(v_minor ${PROJECT_VERSION_MINOR})
set(v_patch ${PROJECT_VERSION_PATCH})
if(v_minor STREQUAL "")
  set(v_minor 0)
endif()
if(v_patch STREQUAL "")
  set(v_patch 0)
endif()
# The installer compares only the first three fields, each within these bounds.
if(v_major GREATER 255 OR v_minor GREATER 255 OR v_patch GREATER 65535)
  message(FATAL_ERROR "Version ${PROJECT_VERSION} is beyond what Windows Installer can compare")
endif()

set(KELVARA_VERSION_NUMBERS "${v_major},${v_minor},${v_patch},0")
set(KELVARA_VERSION_QUAD "${v_major}.${v_minor}.${v_patch}.0")
set(KELVARA_VERSION_MSI "${v_major}.${v_minor}.${v_patch}")
if(v_minor LESS 10)
  set(KELVARA_VERSION_TEXT "${v_major}.0${v_minor}")
else()
  set(KELVARA_VERSION_TEXT "${v_major}.${v_minor}")
endif()
set(KELVARA_VERSION_TITLE "${v_major}.${v_minor}")
if(NOT v_patch EQUAL 0)
  string(APPEND KELVARA_VERSION_TEXT ".${v_patch}")
  string(APPEND KELVARA_VERSION_TITLE ".${v_patch}")
endif()

set(KELVARA_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/cmake/Version.h.in ${KELVARA_GENERATED_DIR}/kelvara/Version.h
               @ONLY)
# For scripts/package.sh: the version the build was made with.
file(WRITE ${CMAKE_BINARY_DIR}/kelvara-version.txt "${KELVARA_VERSION_MSI}\n")

add_library(kelvara_version INTERFACE)
target_include_directories(kelvara_version INTERFACE ${KELVARA_GENERATED_DIR})
unset(v_major)
unset(v_minor)
unset(v_patch)
