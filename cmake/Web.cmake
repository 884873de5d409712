# The web build: the libraries built by tools/web/libraries.sh (SPRAYRUSH_WEB_LIBS), the
# game's data from a Linux build (SPRAYRUSH_HOST_DATA, its game/Data folder: the data
# tools run on the build machine), node to run the headless runner, and the page.
if(NOT SPRAYRUSH_WEB_LIBS OR NOT EXISTS ${SPRAYRUSH_WEB_LIBS}/include/SDL2/SDL.h)
  message(FATAL_ERROR "SPRAYRUSH_WEB_LIBS must name the web libraries (tools/web/libraries.sh)")
endif()
set(SPRAYRUSH_HOST_DATA "" CACHE PATH "The Data folder of a Linux build of the same sources")
if(NOT EXISTS ${SPRAYRUSH_HOST_DATA}/Res/Res1.dxg)
  message(FATAL_ERROR "SPRAYRUSH_HOST_DATA must name the Data folder of a Linux build (build/game/Data)")
endif()

# The libraries by their files, their headers before emscripten's own SDL 1.2 ones.
function(sprayrush_web_library name)
  add_library(PkgConfig::${name} INTERFACE IMPORTED)
  set(files)
  foreach(lib IN LISTS ARGN)
    list(APPEND files ${SPRAYRUSH_WEB_LIBS}/lib/lib${lib}.a)
  endforeach()
  set_target_properties(PkgConfig::${name} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${SPRAYRUSH_WEB_LIBS}/include;${SPRAYRUSH_WEB_LIBS}/include/SDL2"
    INTERFACE_LINK_LIBRARIES "${files}")
endfunction()
sprayrush_web_library(SDL2 SDL2)
sprayrush_web_library(SDL2_MIXER SDL2_mixer)
sprayrush_web_library(SDL2_TTF SDL2_ttf freetype)
sprayrush_web_library(XMP xmp)
# xmp.h marks its functions with emscripten's export macro.
target_compile_options(PkgConfig::XMP INTERFACE "SHELL:-include emscripten.h")
add_library(PkgConfig::FONTCONFIG INTERFACE IMPORTED)  # fonts are files in the game folder
set(CMAKE_NO_SYSTEM_FROM_IMPORTED ON)

# The game throws and catches (a damaged data file, a save that fails).
add_compile_options(-fexceptions)
add_link_options(-fexceptions -sALLOW_MEMORY_GROWTH=1)

# The runner's tests run it under node, reading this machine's files.
set(SPRAYRUSH_NODE_ENV NODE_PATH=/usr/share/nodejs NODE_OPTIONS=--no-experimental-fetch)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env ${SPRAYRUSH_NODE_ENV} node)

# build-web/game as build/game: Data (Res, Music) and Fonts, packed into the page.
function(sprayrush_web_game_folder)
  add_custom_target(game_data ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${SPRAYRUSH_HOST_DATA}/Res ${SPRAYRUSH_GAME_DIR}/Data/Res
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${SPRAYRUSH_HOST_DATA}/Music ${SPRAYRUSH_GAME_DIR}/Data/Music
    COMMENT "Copying the game data of ${SPRAYRUSH_HOST_DATA}" VERBATIM)
endfunction()
