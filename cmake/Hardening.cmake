# Compiler and linker hardening of the Windows programs (every target of the
# cross build; the native build has its sanitizers instead). The stack
# protector's runtime (libssp) is linked statically with the rest, so it needs
# the flag at link time too; mingw-w64's headers provide the fortified string
# and memory calls. ASLR (which keeps the .reloc section) and DEP are GNU ld's
# defaults today; they are spelled out so that an older linker cannot drop
# them silently. A high-entropy base exists only for 64-bit images. Set here
# rather than in the toolchain file so that an existing build tree picks them
# up too.
if(NOT CMAKE_CROSSCOMPILING OR NOT WIN32)
  return()
endif()
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-fstack-protector-strong;-D_FORTIFY_SOURCE=2>")
string(APPEND CMAKE_EXE_LINKER_FLAGS " -fstack-protector-strong -Wl,--dynamicbase -Wl,--nxcompat")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -Wl,--high-entropy-va")
endif()
