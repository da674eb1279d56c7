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
    # Tests of one system's platform layer are built only on that system.
    if(BRASSLANE_TESTS_OF_OTHER_SYSTEMS)
        list(FILTER sources EXCLUDE REGEX "${BRASSLANE_TESTS_OF_OTHER_SYSTEMS}")
    endif()
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARGN} brasslane_test_support GTest::gtest GTest::gtest_main GTest::gmock
                                          brasslane_warnings)
    target_compile_definitions(${name} PRIVATE BRASSLANE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
                                               BRASSLANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    brasslane_add_gtest(${name} "${dir}")
endfunction()

# Registers a GoogleTest program with CTest: each test on its own where the program can be run
# at build time to list them; in a cross build one CTest test per program, run through the
# emulator (wine) in a single process.
function(brasslane_add_gtest name label)
    if(CMAKE_CROSSCOMPILING)
        # The tool's fault matrices start it about a thousand times; under wine each start takes a
        # good part of a second, so the cross build leaves them to the native runs.
        add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 --gtest_filter=-*UnderEveryFault*)
        set_tests_properties(${name} PROPERTIES LABELS "${label}" TIMEOUT 900)
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${label}")
    endif()
endfunction()
