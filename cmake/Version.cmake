# The release's one version number is project()'s. The resource scripts read
# it from a generated header (VERSIONINFO), the manifests from their
# configured templates (configure_file with @ONLY, in each program's folder).
if(NOT WIN32)
  return()
endif()
set(PELLVANE_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
set(PELLVANE_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)

# The manifest names the architecture Windows loads the program as: a wrong
# one stops it with a side-by-side error before any code runs.
if(PELLVANE_ARCH STREQUAL "x64")
  set(PELLVANE_MANIFEST_ARCH amd64)
  set(PELLVANE_ARCH_BITS 64)
elseif(PELLVANE_ARCH STREQUAL "x86")
  set(PELLVANE_MANIFEST_ARCH x86)
  set(PELLVANE_ARCH_BITS 32)
else()
  message(FATAL_ERROR "PELLVANE_ARCH is '${PELLVANE_ARCH}': set it before including Version")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/pellvane_version.h.in
               ${PELLVANE_GENERATED_DIR}/pellvane_version.h @ONLY)


# A console program's manifest: NAME.manifest.in in the folder's resources/,
# configured for this build and compiled from resources/NAME.rc into its own
# object library, so that the compiler's warning options stay away from
# windres.
function(pv_add_manifest target name)
  enable_language(RC)
  configure_file(resources/${name}.manifest.in ${CMAKE_CURRENT_BINARY_DIR}/${name}.manifest @ONLY)
  add_library(${target}_resources OBJECT resources/${name}.rc)
  target_include_directories(${target}_resources PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
  set_source_files_properties(resources/${name}.rc PROPERTIES
    OBJECT_DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${name}.manifest)
  target_link_libraries(${target} PRIVATE ${target}_resources)
endfunction()
