# Warnings and sanitizers for every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic)

if(VELMORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# velmora_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [GUI])
# A GoogleTest executable registered with CTest. GUI tests run on the display that
# the test command provides (xvfb-run) with the web engine's sandbox off, as root needs.
function(velmora_add_test)
  cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(NOT T_GUI)
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${T_NAME} PRIVATE
    VELMORA_SHARED_DIR="${VELMORA_SHARED_DIR}"
    VELMORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VELMORA_BINARY_DIR="${CMAKE_BINARY_DIR}"
    VELMORA_TOOLS_DIR="${VELMORA_TOOLS_DIR}"
    VELMORA_INSTALL_FOLDER="${VELMORA_INSTALL_FOLDER}")
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu;QT_LOGGING_RULES=qt.webenginecontext.info=false")
endfunction()
