# Debian's header-only libraries: CLI11 (command lines) and nlohmann/json.
# Natively they are in the default include path. The cross build must never
# see /usr/include itself (glibc's headers would shadow mingw-w64's), so it
# gets a folder that holds links to just these two.
set(PELLVANE_HEADER_LIBRARIES CLI nlohmann)
add_library(pv_header_libraries INTERFACE)
if(CMAKE_CROSSCOMPILING)
  set(links ${CMAKE_BINARY_DIR}/header-libraries)
  file(MAKE_DIRECTORY ${links})
  foreach(dir IN LISTS PELLVANE_HEADER_LIBRARIES)
    if(NOT EXISTS /usr/include/${dir})
      message(FATAL_ERROR "/usr/include/${dir} not found; run scripts/setup.sh")
    endif()
    file(CREATE_LINK /usr/include/${dir} ${links}/${dir} SYMBOLIC)
  endforeach()
  target_include_directories(pv_header_libraries SYSTEM INTERFACE ${links})
endif()
