# The Windows build: the libraries built by tools/windows/libraries.sh (SPRAYRUSH_WINDOWS_LIBS),
# the game's data from a Linux build (SPRAYRUSH_HOST_DATA, its game/Data folder: the data
# tools run on the build machine), Wine to run tests, and the game folder as it ships.
if(NOT SPRAYRUSH_WINDOWS_LIBS OR NOT EXISTS ${SPRAYRUSH_WINDOWS_LIBS}/include/SDL2/SDL.h)
  message(FATAL_ERROR "SPRAYRUSH_WINDOWS_LIBS must name the Windows libraries (tools/windows/libraries.sh)")
endif()
set(SPRAYRUSH_HOST_DATA "" CACHE PATH "The Data folder of a Linux build of the same sources")
if(NOT EXISTS ${SPRAYRUSH_HOST_DATA}/Res/Res1.dxg)
  message(FATAL_ERROR "SPRAYRUSH_HOST_DATA must name the Data folder of a Linux build (build/game/Data)")
endif()

# The libraries by their files: pkg-config's SDL2 flags would make every program a
# window program, the tests and the runner included.
function(sprayrush_windows_library name)
  add_library(PkgConfig::${name} INTERFACE IMPORTED)
  set(files)
  foreach(lib IN LISTS ARGN)
    list(APPEND files ${SPRAYRUSH_WINDOWS_LIBS}/lib/lib${lib}.dll.a)
  endforeach()
  set_target_properties(PkgConfig::${name} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${SPRAYRUSH_WINDOWS_LIBS}/include;${SPRAYRUSH_WINDOWS_LIBS}/include/SDL2"
    INTERFACE_LINK_LIBRARIES "${files}")
endfunction()
sprayrush_windows_library(SDL2 SDL2)
sprayrush_windows_library(SDL2_MIXER SDL2_mixer)
sprayrush_windows_library(SDL2_TTF SDL2_ttf)
sprayrush_windows_library(XMP xmp)
sprayrush_windows_library(CURL curl)
add_library(PkgConfig::FONTCONFIG INTERFACE IMPORTED)  # fonts are files in the game folder
target_link_libraries(PkgConfig::SDL2 INTERFACE shell32 ole32)

# Our own entry points stay main(); SDL must not rename them.
add_compile_definitions(SDL_MAIN_HANDLED)
# The compiler's own runtime goes into every program, so only the libraries' DLLs ship.
add_link_options(-static)

# Tests run under Wine in a prefix of the build's own, made by the test wine.prefix.
set(SPRAYRUSH_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEPREFIX=${SPRAYRUSH_WINEPREFIX}
  WINEPATH=${SPRAYRUSH_WINDOWS_LIBS}/bin bash ${PROJECT_SOURCE_DIR}/tools/windows/wine.sh)

# The icon and version resource of Sprayrush.exe, the icon drawn from the desktop's SVG.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(IMAGEMAGICK_CONVERT convert REQUIRED)
set(SPRAYRUSH_ICO ${CMAKE_BINARY_DIR}/icons/sprayrush.ico)
set(pngs)
foreach(size 16 24 32 48 64 256)
  set(png ${CMAKE_BINARY_DIR}/icons/sprayrush-${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${PROJECT_SOURCE_DIR}/assets/icon/sprayrush.svg
    DEPENDS ${PROJECT_SOURCE_DIR}/assets/icon/sprayrush.svg VERBATIM)
  list(APPEND pngs ${png})
endforeach()
add_custom_command(OUTPUT ${SPRAYRUSH_ICO}
  COMMAND ${IMAGEMAGICK_CONVERT} ${pngs} ${SPRAYRUSH_ICO}
  DEPENDS ${pngs} VERBATIM)
add_custom_target(windows_icon DEPENDS ${SPRAYRUSH_ICO})

# The DLLs a program needs, found by what it imports, from the libraries' folder.
file(GLOB SPRAYRUSH_WINDOWS_DLLS ${SPRAYRUSH_WINDOWS_LIBS}/bin/*.dll)

# build-windows/game as build/game: the program, its DLLs, Data (Res, Music) and Fonts.
function(sprayrush_windows_game_folder)
  add_custom_target(game_data ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${SPRAYRUSH_HOST_DATA}/Res ${SPRAYRUSH_GAME_DIR}/Data/Res
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${SPRAYRUSH_HOST_DATA}/Music ${SPRAYRUSH_GAME_DIR}/Data/Music
    COMMAND ${CMAKE_COMMAND} -E copy ${SPRAYRUSH_WINDOWS_DLLS} ${SPRAYRUSH_GAME_DIR}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/tools
    COMMAND ${CMAKE_COMMAND} -E copy ${SPRAYRUSH_WINDOWS_DLLS} ${CMAKE_BINARY_DIR}/tools
    COMMENT "Copying the game data of ${SPRAYRUSH_HOST_DATA} and the libraries" VERBATIM)

  # The folder that ships: build-windows/dist/Sprayrush is this installed.
  install(TARGETS sprayrush sprayrush-run RUNTIME DESTINATION .)
  install(FILES ${SPRAYRUSH_WINDOWS_DLLS} DESTINATION .)
  install(DIRECTORY ${SPRAYRUSH_GAME_DIR}/Data/Res ${SPRAYRUSH_GAME_DIR}/Data/Music DESTINATION Data)
  install(DIRECTORY ${SPRAYRUSH_WINDOWS_LIBS}/licences/ DESTINATION Licences)
endfunction()
