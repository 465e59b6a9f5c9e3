# Installation, laid out as Debian lays out its games: the floob2 command in
# games/, the program it starts in lib/games/floob2/, the archives in
# share/games/floob2/data/, and the desktop's files in their usual places.
include(GNUInstallDirs)
set(FLOOB_INSTALL_GAMESDIR games CACHE STRING "Where the floob2 command goes, under the prefix")
set(FLOOB_INSTALL_PROGRAMDIR lib/games/floob2 CACHE STRING "Where the game's program goes, under the prefix")
set(FLOOB_INSTALL_GAMEDATADIR ${CMAKE_INSTALL_DATADIR}/games/floob2
  CACHE STRING "Where the game's archives (data/) and level sources go, under the prefix")

foreach(dir GAMESDIR PROGRAMDIR GAMEDATADIR)
  if(IS_ABSOLUTE "${FLOOB_INSTALL_${dir}}")
    set(full_${dir} "${FLOOB_INSTALL_${dir}}")
  else()
    set(full_${dir} "${CMAKE_INSTALL_PREFIX}/${FLOOB_INSTALL_${dir}}")
  endif()
endforeach()

# Two launchers from one source: build/launcher/floob2 runs the build's program
# with the build's archives (./play.sh uses it); the installed one finds the
# installed program and archives from its own folder, wherever the tree is put.
function(floob_launcher out game data)
  string(REPLACE "'" "'\\''" LAUNCH_GAME "${game}")
  string(REPLACE "'" "'\\''" LAUNCH_DATA "${data}")
  configure_file(${CMAKE_SOURCE_DIR}/dist/floob2-launcher.in ${out} @ONLY)
endfunction()
floob_launcher(${CMAKE_BINARY_DIR}/launcher/floob2 ${CMAKE_BINARY_DIR}/floob2 ${CMAKE_BINARY_DIR}/data)
file(RELATIVE_PATH installed_game ${full_GAMESDIR} ${full_PROGRAMDIR}/floob2)
file(RELATIVE_PATH installed_data ${full_GAMESDIR} ${full_GAMEDATADIR}/data)
floob_launcher(${CMAKE_BINARY_DIR}/dist/floob2 ${installed_game} ${installed_data})

configure_file(${CMAKE_SOURCE_DIR}/dist/floob2.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/dist/${FLOOB_APP_ID}.metainfo.xml @ONLY)

install(TARGETS floob2 RUNTIME DESTINATION ${FLOOB_INSTALL_PROGRAMDIR})
install(PROGRAMS ${CMAKE_BINARY_DIR}/dist/floob2 DESTINATION ${FLOOB_INSTALL_GAMESDIR})
# The level tools, so that a player can make a level and test it with "floob2 -t":
# the data compiler, the level checker (not in the build that only plays), and
# the shared legend with the game's own levels to start from.
install(PROGRAMS $<TARGET_FILE:floobdata> DESTINATION ${FLOOB_INSTALL_GAMESDIR} RENAME floob2-data-compiler)
if(TARGET floobcheck)
  install(PROGRAMS $<TARGET_FILE:floobcheck> DESTINATION ${FLOOB_INSTALL_GAMESDIR} RENAME floob2-level-checker)
  set(FLOOB_LEVEL_CHECKER 1)
else()
  set(FLOOB_LEVEL_CHECKER 0)
endif()
file(GLOB level_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/maps/*.lvl)
install(FILES ${CMAKE_SOURCE_DIR}/assets/maps/legend.inc ${level_sources}
  DESTINATION ${FLOOB_INSTALL_GAMEDATADIR}/levels)
foreach(archive gfx maps music sound)
  install(FILES ${CMAKE_BINARY_DIR}/data/${archive}.qva DESTINATION ${FLOOB_INSTALL_GAMEDATADIR}/data)
endforeach()
foreach(size ${FLOOB_ICON_SIZES})
  install(FILES ${CMAKE_BINARY_DIR}/icons/${size}x${size}/${FLOOB_APP_ID}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/dist/${FLOOB_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The desktop entry and the manual page name installed paths: they are written
# when installing, with the prefix of that install (`cmake --install --prefix`).
install(CODE "
  set(FLOOB_DIST_DIR [[${CMAKE_SOURCE_DIR}/dist]])
  set(FLOOB_STAGE_DIR [[${CMAKE_BINARY_DIR}/dist/installed]])
  set(FLOOB_APP_ID [[${FLOOB_APP_ID}]])
  set(FLOOB_VERSION [[${PROJECT_VERSION}]])
  set(FLOOB_RELEASE_DATE [[${FLOOB_RELEASE_DATE}]])
  set(FLOOB_INSTALL_GAMESDIR [[${FLOOB_INSTALL_GAMESDIR}]])
  set(FLOOB_INSTALL_GAMEDATADIR [[${FLOOB_INSTALL_GAMEDATADIR}]])
  set(FLOOB_INSTALL_DATADIR [[${CMAKE_INSTALL_DATADIR}]])
  set(FLOOB_INSTALL_MANDIR [[${CMAKE_INSTALL_MANDIR}]])
  set(FLOOB_LEVEL_CHECKER ${FLOOB_LEVEL_CHECKER})
  include([[${CMAKE_SOURCE_DIR}/dist/install-configured.cmake]])
")
