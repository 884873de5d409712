# The open fonts that stand in for the faces the game names (media/Platform/Fonts.cpp),
# copied from Debian's font packages into the game folder's Fonts, with their licences,
# so every build draws with the same files and none needs the system's fonts.
set(SPRAYRUSH_FONTS
  liberation/LiberationSans-Regular.ttf liberation/LiberationSans-Bold.ttf
  liberation/LiberationSerif-Regular.ttf liberation/LiberationSerif-Bold.ttf
  roboto/unhinted/RobotoTTF/Roboto-Black.ttf
  dseg/DSEG7Classic-Regular.ttf dseg/DSEG7Classic-Bold.ttf)
set(SPRAYRUSH_FONT_LICENCES liberation roboto-unhinted dseg)  # fonts-<name>

set(font_dir ${SPRAYRUSH_GAME_DIR}/Fonts)
set(font_files)
foreach(font IN LISTS SPRAYRUSH_FONTS)
  set(src /usr/share/fonts/truetype/${font})
  if(NOT EXISTS ${src})
    message(FATAL_ERROR "${src} is missing: run tools/setup.sh")
  endif()
  get_filename_component(name ${font} NAME)
  add_custom_command(OUTPUT ${font_dir}/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${src} ${font_dir}/${name}
    DEPENDS ${src} VERBATIM)
  list(APPEND font_files ${font_dir}/${name})
endforeach()
foreach(package IN LISTS SPRAYRUSH_FONT_LICENCES)
  set(src /usr/share/doc/fonts-${package}/copyright)
  add_custom_command(OUTPUT ${font_dir}/fonts-${package}-licence.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${src} ${font_dir}/fonts-${package}-licence.txt
    DEPENDS ${src} VERBATIM)
  list(APPEND font_files ${font_dir}/fonts-${package}-licence.txt)
endforeach()
add_custom_target(game_fonts ALL DEPENDS ${font_files})
if(TARGET sprayrush)
  add_dependencies(sprayrush game_fonts)
endif()

if(WIN32)
  # The Windows test programs find them beside themselves.
  add_custom_command(TARGET game_fonts POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${font_dir} ${CMAKE_BINARY_DIR}/tests/Fonts VERBATIM)
  install(DIRECTORY ${font_dir} DESTINATION .)
else()
  install(DIRECTORY ${font_dir} DESTINATION ${CMAKE_INSTALL_DATADIR}/sprayrush)
endif()
