# Building for the web browser with Debian's emscripten. SPRAYRUSH_WEB_LIBS names the
# folder of the libraries built by tools/web/libraries.sh.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

if(NOT SPRAYRUSH_WEB_LIBS)
  set(SPRAYRUSH_WEB_LIBS "$ENV{SPRAYRUSH_WEB_LIBS}")
endif()
# try_compile reads this file again in a project of its own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SPRAYRUSH_WEB_LIBS)

# Our libraries, never the host's: emscripten's own SDL headers are SDL 1.2.
if(SPRAYRUSH_WEB_LIBS)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${SPRAYRUSH_WEB_LIBS})
  set(ENV{PKG_CONFIG_LIBDIR} "${SPRAYRUSH_WEB_LIBS}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
