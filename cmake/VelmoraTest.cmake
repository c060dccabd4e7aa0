# velmora_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [OFFSCREEN | GUI | WEBENGINE])
# A GoogleTest program registered with CTest. Without a flag it is a plain program; with
# one, its main() (tests/support/testmain.cpp) makes the QApplication first:
#   OFFSCREEN  on Qt's offscreen platform: fonts, painting and widgets never shown, no display
#   GUI        on the display that the test command provides (xvfb-run)
#   WEBENGINE  GUI, and the web engine runs, in the test's process or in the reader it starts:
#              the book's URL scheme is registered and the sandbox is off as root needs
function(velmora_add_test)
  cmake_parse_arguments(T "OFFSCREEN;GUI;WEBENGINE" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  target_compile_definitions(${T_NAME} PRIVATE
    VELMORA_SHARED_DIR="${VELMORA_SHARED_DIR}"
    VELMORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VELMORA_BINARY_DIR="${CMAKE_BINARY_DIR}"
    VELMORA_TOOLS_DIR="${VELMORA_TOOLS_DIR}"
    VELMORA_INSTALL_FOLDER="${VELMORA_INSTALL_FOLDER}")

  if(T_OFFSCREEN)
    target_sources(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/testmain.cpp)
    target_compile_definitions(${T_NAME} PRIVATE VELMORA_TEST_OFFSCREEN)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Widgets)
  elseif(T_GUI OR T_WEBENGINE)
    target_sources(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/testmain.cpp)
    target_link_libraries(${T_NAME} PRIVATE velmora_startup Qt6::Widgets)
  else()
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  if(VELMORA_SANITIZE AND (T_OFFSCREEN OR T_GUI OR T_WEBENGINE))
    target_link_libraries(${T_NAME} PRIVATE velmora_test_leak_suppressions)
  endif()
  set(properties)
  if(T_WEBENGINE)
    target_compile_definitions(${T_NAME} PRIVATE VELMORA_TEST_WEBENGINE)
    target_link_libraries(${T_NAME} PRIVATE velmora_controls)
    if(VELMORA_SANITIZE)
      target_link_libraries(${T_NAME} PRIVATE velmora_webengine_sanitizer_options)
    endif()
    set(properties PROPERTIES ENVIRONMENT
      "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu;QT_LOGGING_RULES=qt.webenginecontext.info=false")
  endif()
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST ${properties})
endfunction()
