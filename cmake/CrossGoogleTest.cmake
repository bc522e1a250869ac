# GoogleTest for the cross build, compiled from the sources Debian's googletest package
# installs. Provides the same GTest::gtest and GTest::gtest_main targets as find_package.
set(VANTRELL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source tree")
if(NOT EXISTS ${VANTRELL_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${VANTRELL_GOOGLETEST_SOURCE}: install the Debian package googletest")
endif()

enable_language(C)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VANTRELL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(target gtest gtest_main)
    if(NOT TARGET GTest::${target}) # newer GoogleTest defines them itself
        add_library(GTest::${target} ALIAS ${target})
    endif()
endforeach()

# Discovery runs each test program under Wine, so it waits for ctest, where the Wine
# prefix exists, rather than running at build time.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
