# Run by `cmake --install`: fills in the desktop entry and the manual page with
# the paths of this install, stages them in the build tree and installs them.
macro(floob_full_path out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}")
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}")
  endif()
endmacro()

floob_full_path(games_dir "${FLOOB_INSTALL_GAMESDIR}")
floob_full_path(game_data_dir "${FLOOB_INSTALL_GAMEDATADIR}")
floob_full_path(data_dir "${FLOOB_INSTALL_DATADIR}")
floob_full_path(man_dir "${FLOOB_INSTALL_MANDIR}")
set(FLOOB_LAUNCHER_PATH "${games_dir}/floob2")
set(FLOOB_DATA_PATH "${game_data_dir}/data")
set(FLOOB_LEVELS_PATH "${game_data_dir}/levels")

macro(floob_install_configured template name destination)
  file(READ "${FLOOB_DIST_DIR}/${template}" floob_text)
  string(CONFIGURE "${floob_text}" floob_text @ONLY)
  # Rewritten only when it changes, so that a staged file left by an install
  # run as another user does not stop the next one.
  set(floob_staged "${FLOOB_STAGE_DIR}/${name}")
  set(floob_old "")
  if(EXISTS "${floob_staged}")
    file(READ "${floob_staged}" floob_old)
  endif()
  if(NOT floob_old STREQUAL floob_text)
    file(WRITE "${floob_staged}" "${floob_text}")
  endif()
  file(INSTALL DESTINATION "${destination}" TYPE FILE
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ FILES "${floob_staged}")
endmacro()

floob_install_configured(floob2.desktop.in ${FLOOB_APP_ID}.desktop "${data_dir}/applications")
floob_install_configured(floob2.6.in floob2.6 "${man_dir}/man6")
floob_install_configured(floob2-data-compiler.6.in floob2-data-compiler.6 "${man_dir}/man6")
if(FLOOB_LEVEL_CHECKER)
  floob_install_configured(floob2-level-checker.6.in floob2-level-checker.6 "${man_dir}/man6")
endif()
