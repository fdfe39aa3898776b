# One interface target carries the language level, warnings and Qt defines for every target.
add_library(kova_common INTERFACE)
target_compile_features(kova_common INTERFACE cxx_std_20)
target_compile_options(kova_common INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(kova_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_URL_CAST_FROM_STRING
    QT_DISABLE_DEPRECATED_UP_TO=0x060000)

set(KOVA_SANITIZE "" CACHE STRING "Build with the given sanitizers (address,undefined or thread)")
if(KOVA_SANITIZE)
    target_compile_options(kova_common INTERFACE -fsanitize=${KOVA_SANITIZE} -fno-omit-frame-pointer)
    target_link_options(kova_common INTERFACE -fsanitize=${KOVA_SANITIZE})
endif()

# Tests: GoogleTest binaries registered with CTest, run headless.
function(kova_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE kova_common kova_testsupport ${T_LIBS} GTest::gtest)
    # Window tests read the skin beside the program, as the program does.
    add_custom_command(TARGET ${name} POST_BUILD COMMAND ${CMAKE_COMMAND} -E copy_if_different
        ${CMAKE_SOURCE_DIR}/assets/kova.sui $<TARGET_FILE_DIR:${name}>/kova.sui)
    gtest_discover_tests(${name}
        TEST_PREFIX "${name}."
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KOVA_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
