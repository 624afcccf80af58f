# Byte-identical Windows programs from two builds of the same commit, whatever
# the build's time or folder: anyone can rebuild a release and compare.
#
# - No build path in a binary: __FILE__ and the object files' names are
#   written relative to the source and build folders. The build folder's map
#   comes last, as GCC takes the last one that matches and the preset's build
#   folder lies inside the source folder.
# - No build time: GNU ld writes the time of linking into the PE header's
#   TimeDateStamp unless SOURCE_DATE_EPOCH is set (Debian's binutils read it)
#   or --no-insert-timestamp writes zero. The shipped programs carry the time
#   of the commit they were built from (pv_commit_timestamp), every other
#   program zero. Nothing is linked with a debug directory, which would carry
#   a time too (no -g, no build id).
# - Static archives: Debian's ar is deterministic by default (no times, uids
#   or modes); D is spelled out so that another ar cannot differ silently.

# A shipped program's PE time stamp is the commit's time (native programs
# have none).
function(pv_commit_timestamp target)
  if(CMAKE_CROSSCOMPILING AND WIN32)
    set(with_time ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${PELLVANE_SOURCE_DATE_EPOCH})
    set_target_properties(${target} PROPERTIES C_LINKER_LAUNCHER "${with_time}"
                                               CXX_LINKER_LAUNCHER "${with_time}")
    target_link_options(${target} PRIVATE -Wl,--insert-timestamp)
  endif()
endfunction()

if(NOT CMAKE_CROSSCOMPILING OR NOT WIN32)
  return()
endif()

add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.;-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>")
string(APPEND CMAKE_EXE_LINKER_FLAGS " -Wl,--no-insert-timestamp")
set(CMAKE_C_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_C_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_C_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
set(CMAKE_CXX_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")

# The commit's time: SOURCE_DATE_EPOCH from the environment (a rebuild from an
# exported tree without git sets it), else the time of HEAD. Taken again after
# every commit or checkout, so that a tree configured earlier does not stamp a
# release with an older commit's time.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(PELLVANE_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE PELLVANE_SOURCE_DATE_EPOCH
                    RESULT_VARIABLE git_result
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute
                            --git-path HEAD --git-path logs/HEAD
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE git_head_files
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    string(REPLACE "\n" ";" git_head_files "${git_head_files}")
    foreach(head_file IN LISTS git_head_files)
      if(EXISTS ${head_file})
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${head_file})
      endif()
    endforeach()
  endif()
endif()
if(NOT PELLVANE_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "no commit time for the programs' time stamp: build from a git checkout "
                      "or set SOURCE_DATE_EPOCH (seconds since 1970)")
endif()
message(STATUS "Programs stamped with the commit time ${PELLVANE_SOURCE_DATE_EPOCH}")

# strip writes a new PE time stamp, the time of stripping unless
# SOURCE_DATE_EPOCH is set: the shipped copies are stripped with this.
set(PELLVANE_STRIP ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${PELLVANE_SOURCE_DATE_EPOCH}
    ${CMAKE_STRIP})
