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
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "TZ=Asia/Tokyo" LABELS core)
endfunction()
