# The fontconfig alias file of the program: copied beside the executables of
# the build tree (so tests and a program run from build/bin find it) and
# installed beside the installed program, or for a system-wide install into
# the package's data folder, which the program finds from its own place.
# Include this from ui/CMakeLists.txt after the kuv_ui target is defined.
set(KUV_FONTS_CONF ${CMAKE_CURRENT_LIST_DIR}/kuvandoro-fonts.conf)
configure_file(${KUV_FONTS_CONF} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/kuvandoro-fonts.conf COPYONLY)
# Only a program run from the build tree looks into the sources; a package's
# program must not name a folder of the machine it was built on.
if(KUV_SYSTEM_INSTALL)
  install(FILES ${KUV_FONTS_CONF} DESTINATION ${CMAKE_INSTALL_DATADIR}/kuvandoro)
  file(RELATIVE_PATH kuv_fonts_conf_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
       ${CMAKE_INSTALL_FULL_DATADIR}/kuvandoro)
  target_compile_definitions(kuv_ui PRIVATE KUV_FONTS_CONF_FROM_BIN="${kuv_fonts_conf_from_bin}")
else()
  install(FILES ${KUV_FONTS_CONF} DESTINATION .)
  target_compile_definitions(kuv_ui PRIVATE KUV_FONTS_CONF_SOURCE="${KUV_FONTS_CONF}")
endif()
