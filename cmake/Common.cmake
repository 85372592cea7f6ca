# A compiler cache, when the machine has one, makes rebuilds of other
# checkouts of the same sources cheap.
find_program(KUV_CCACHE ccache)
if(KUV_CCACHE)
  set(CMAKE_C_COMPILER_LAUNCHER ${KUV_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${KUV_CCACHE})
endif()

# One interface target carries the language level, warnings and defines;
# every target of the project links it.
add_library(kuv_common INTERFACE)
target_compile_features(kuv_common INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(kuv_common INTERFACE
  -Wall -Wextra -pedantic -Wold-style-cast -Wnon-virtual-dtor)
target_include_directories(kuv_common INTERFACE ${PROJECT_SOURCE_DIR})

option(KUV_WERROR "Treat compiler warnings as errors" OFF)
if(KUV_WERROR)
  target_compile_options(kuv_common INTERFACE -Werror)
endif()

# What every Qt target of the project adds: no implicit conversions from
# char*, and QString concatenation through QStringBuilder.
add_library(kuv_qt_common INTERFACE)
target_compile_definitions(kuv_qt_common INTERFACE QT_NO_CAST_FROM_ASCII QT_USE_QSTRINGBUILDER)

option(KUV_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KUV_SANITIZE)
  target_compile_options(kuv_common INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(kuv_common INTERFACE -fsanitize=address,undefined)
endif()

# Registers one GoogleTest executable per core unit.
function(kuv_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main kuv_common)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "TZ=Asia/Tokyo;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-home/share" LABELS core)
endfunction()

# Window, settings and locale code runs once per act of the user, never in a
# loop over the diary: optimised for size, it keeps the program's code that a
# start pages in small. The loops over entries (code page 932, the container,
# search, export, backup, import) stay optimised for speed.
function(kuv_optimise_for_size target)
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-Os>)
endfunction()

# A module the program loads on first use (platform/program_module.h): a
# shared object named name.so beside the program, exporting only its entry,
# with the static libraries it links hidden inside it.
function(kuv_add_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".so"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kuv_common)
  target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL)
  install(TARGETS ${name} LIBRARY DESTINATION ${KUV_MODULE_DIR})
endfunction()
