# brasslane_module(NAME DIR [DEPS ...]): a static library of every .cpp below DIR.
# Sources are globbed so that adding a file to a module needs no edit of a source list.
function(brasslane_module name dir)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${dir}/*.cpp")
    if(NOT sources)
        # A module whose first file is not written yet still has to exist for its dependants.
        set(sources "${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp")
        file(WRITE "${sources}" "")
    endif()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
    target_link_libraries(${name} PUBLIC brasslane_warnings Threads::Threads ${ARGN})
endfunction()

# brasslane_test(NAME DIR LIBS...): one GoogleTest executable of every .cpp below tests/DIR.
function(brasslane_test name dir)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/${dir}/*.cpp")
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARGN} brasslane_test_support GTest::gtest GTest::gtest_main GTest::gmock
                                          brasslane_warnings)
    target_compile_definitions(${name} PRIVATE BRASSLANE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
                                               BRASSLANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${dir}")
endfunction()
