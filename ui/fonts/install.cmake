# The fontconfig alias file of the program: copied beside the executables of
# the build tree (so tests and a program run from build/bin find it) and
# installed beside the installed program. Include this from ui/CMakeLists.txt
# after the kuv_ui target is defined.
set(KUV_FONTS_CONF ${CMAKE_CURRENT_LIST_DIR}/kuvandoro-fonts.conf)
configure_file(${KUV_FONTS_CONF} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/kuvandoro-fonts.conf COPYONLY)
install(FILES ${KUV_FONTS_CONF} DESTINATION .)
if(TARGET kuv_ui)
  target_compile_definitions(kuv_ui PRIVATE KUV_FONTS_CONF_SOURCE="${KUV_FONTS_CONF}")
endif()
