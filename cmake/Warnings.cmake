# Project-wide warning policy, applied to our own targets only (not GoogleTest).
add_library(pv_warnings INTERFACE)
target_compile_options(pv_warnings INTERFACE -Wall -Wextra -Werror)
target_compile_features(pv_warnings INTERFACE cxx_std_20)

# Sanitizers for native unit tests and tools.
add_library(pv_sanitizers INTERFACE)
if(PELLVANE_SANITIZE)
  target_compile_options(pv_sanitizers INTERFACE -fsanitize=address,undefined
                                                 -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(pv_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
