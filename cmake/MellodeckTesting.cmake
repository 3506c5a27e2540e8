# GoogleTest: Debian's packaged build natively; built from Debian's sources for Windows targets.
if(WIN32)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
    set(MELLODECK_GTEST_LIBS gmock gtest)
    set(MELLODECK_GTEST_MAIN gtest_main)
else()
    find_package(GTest REQUIRED)
    set(MELLODECK_GTEST_LIBS GTest::gmock GTest::gtest)
    set(MELLODECK_GTEST_MAIN GTest::gtest_main)
endif()
include(GoogleTest)

# mellodeck_add_test(<name> SOURCES ... [LIBS ...] [WINDOWS_ONLY] [NATIVE_ONLY] [OWN_MAIN] [TIMEOUT s])
# One executable per test group; every GoogleTest case becomes a CTest test with a timeout, so a hung
# case (for example a Wine window waiting for input) fails instead of stalling the run.
function(mellodeck_add_test name)
    cmake_parse_arguments(T "WINDOWS_ONLY;NATIVE_ONLY;OWN_MAIN" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(T_WINDOWS_ONLY AND NOT WIN32)
        return()
    endif()
    if(T_NATIVE_ONLY AND WIN32)
        return()
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE mellodeck_test_support ${T_LIBS} ${MELLODECK_GTEST_LIBS})
    if(NOT T_OWN_MAIN)
        target_link_libraries(${name} PRIVATE ${MELLODECK_GTEST_MAIN})
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}"
        PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()
