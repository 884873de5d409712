# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the POSIX-threads compilers,
# whose C++ runtime has std::thread and std::mutex). SPRAYRUSH_WINDOWS_LIBS names the folder
# of the Windows libraries built by tools/windows/libraries.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SPRAYRUSH_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SPRAYRUSH_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SPRAYRUSH_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${SPRAYRUSH_MINGW}-windres)

if(NOT SPRAYRUSH_WINDOWS_LIBS)
  set(SPRAYRUSH_WINDOWS_LIBS "$ENV{SPRAYRUSH_WINDOWS_LIBS}")
endif()
# try_compile reads this file again in a project of its own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SPRAYRUSH_WINDOWS_LIBS)

set(CMAKE_FIND_ROOT_PATH /usr/${SPRAYRUSH_MINGW} ${SPRAYRUSH_WINDOWS_LIBS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees the Windows libraries only, never the host's.
if(SPRAYRUSH_WINDOWS_LIBS)
  set(ENV{PKG_CONFIG_LIBDIR} "${SPRAYRUSH_WINDOWS_LIBS}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
