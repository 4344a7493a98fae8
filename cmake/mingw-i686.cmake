# Cross-compiles for 32-bit Windows with the mingw-w64 posix-thread compilers; runs under wine.
set(LEXAMUND_CROSS_PREFIX i686-w64-mingw32)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER ${LEXAMUND_CROSS_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LEXAMUND_CROSS_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LEXAMUND_CROSS_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LEXAMUND_CROSS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# No run-time DLLs beside our binaries: libgcc, libstdc++ and winpthread go in statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Without the cross compilers CMake goes on to cache the host's binutils and empty optimisation
# flags, and a tree left so builds an unoptimised DLL of other bytes once they are installed.
# So such a tree is refused, and a missing compiler stops the configure here, before anything
# is cached.
get_filename_component(archiver "$CACHE{CMAKE_AR}" NAME)
if(DEFINED CACHE{CMAKE_AR} AND NOT archiver MATCHES "^${LEXAMUND_CROSS_PREFIX}-")
  list(APPEND stale "CMAKE_AR is the host's $CACHE{CMAKE_AR}")
endif()
if(DEFINED CACHE{CMAKE_CXX_FLAGS_RELEASE} AND "$CACHE{CMAKE_CXX_FLAGS_RELEASE}" STREQUAL "")
  list(APPEND stale "CMAKE_CXX_FLAGS_RELEASE is empty")
endif()
if(DEFINED stale)
  list(JOIN stale " and " stale)
  message(FATAL_ERROR "This build tree, ${CMAKE_BINARY_DIR}, was configured without the cross "
                      "compiler: its cache says ${stale}, and it would build an unoptimised DLL. "
                      "Remove the tree (rm -rf ${CMAKE_BINARY_DIR}) and configure again.")
endif()
foreach(compiler IN ITEMS ${CMAKE_C_COMPILER} ${CMAKE_CXX_COMPILER})
  unset(found)
  find_program(found ${compiler} NO_CACHE)
  if(NOT found)
    message(FATAL_ERROR "The cross compiler ${compiler} is not installed. Run tools/setup.sh "
                        "(it installs g++-mingw-w64-i686), then configure again.")
  endif()
endforeach()
