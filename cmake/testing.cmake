# GoogleTest from Debian's sources (/usr/src/googletest), built with the
# project's own compiler so that the same tests build natively and for Windows.
set(NORVALE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${NORVALE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# Unit tests carry the label "unit" when built natively and "win32" when
# built for Windows (they then run under Wine).
if(WIN32)
    set(NORVALE_UNIT_LABEL win32)
else()
    set(NORVALE_UNIT_LABEL unit)
endif()

# norvale_add_test(NAME name SOURCES ... LIBS ... LABELS ... [TIMEOUT s] [FIXTURES ...])
# One test executable per module; each test case becomes one CTest test.
function(norvale_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;FIXTURES" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main)
    target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
    gtest_add_tests(TARGET ${T_NAME} TEST_LIST added)
    set_tests_properties(${added} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT})
    if(T_FIXTURES)
        set_tests_properties(${added} PROPERTIES FIXTURES_REQUIRED "${T_FIXTURES}")
    endif()
endfunction()
