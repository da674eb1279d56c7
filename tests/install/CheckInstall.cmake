# Installs the build into a temporary prefix and checks the layout a user's system gets, then
# runs the installed tool and the installed rule helper from there.
#   cmake -DBUILD_DIR=... -DPREFIX=... -DGUI=ON|OFF -DRULES_DIR=... -DHELPER_DIR=... -DMANDIR=...
#         -DDATADIR=... -DBINDIR=... -DDESCRIPTORS=... -P CheckInstall.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${error}")
endif()

function(prefixed out path)
    if(IS_ABSOLUTE "${path}")
        set(${out} "${PREFIX}${path}" PARENT_SCOPE)
    else()
        set(${out} "${PREFIX}/${path}" PARENT_SCOPE)
    endif()
endfunction()
prefixed(rules "${RULES_DIR}")
prefixed(helper "${HELPER_DIR}")

set(expected
    "${PREFIX}/${BINDIR}/brasslanectl"
    "${PREFIX}/${MANDIR}/man1/brasslanectl.1"
    "${PREFIX}/${DATADIR}/brasslane/Lang0409.ini"
    "${PREFIX}/${DATADIR}/brasslane/Help/index.html"
    "${PREFIX}/${DATADIR}/brasslane/Skins/UserDengColor_3.userd"
    "${PREFIX}/${DATADIR}/brasslane/brasslane-autostart.desktop"
    "${PREFIX}/${DATADIR}/applications/brasslane.desktop"
    "${PREFIX}/${DATADIR}/metainfo/io.github.brasslane.Brasslane.metainfo.xml"
    "${rules}/70-brasslane.rules"
    "${helper}/brasslane-hid-role")
if(GUI)
    list(APPEND expected
         "${PREFIX}/${BINDIR}/brasslane"
         "${PREFIX}/${MANDIR}/man1/brasslane.1"
         "${PREFIX}/${DATADIR}/icons/hicolor/64x64/apps/brasslane.png")
endif()
set(missing "")
foreach(file IN LISTS expected)
    if(NOT EXISTS "${file}")
        string(APPEND missing "\n  ${file}")
    endif()
endforeach()
if(missing)
    message(FATAL_ERROR "not installed:${missing}")
endif()
foreach(forbidden "${PREFIX}/${BINDIR}/brasslane-vhid" "${PREFIX}/${BINDIR}/skingen")
    if(EXISTS "${forbidden}")
        message(FATAL_ERROR "a build or test tool was installed: ${forbidden}")
    endif()
endforeach()

# The rule imports the helper by the absolute path it is installed at, and matches the two
# keyboards only.
file(READ "${rules}/70-brasslane.rules" rule)
foreach(text "/brasslane-hid-role %S%p\"" "ATTRS{idVendor}==\"0c45\", ATTRS{idProduct}==\"7672\""
             "ATTRS{idVendor}==\"320f\", ATTRS{idProduct}==\"505b\"" "ENV{BRASSLANE_HID_ROLE}==\"command|consumer\"")
    string(FIND "${rule}" "${text}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the installed rule lacks ${text}")
    endif()
endforeach()
string(REGEX MATCHALL "TAG\\+=\"uaccess\"" grants "${rule}")
list(LENGTH grants count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "the rule grants access ${count} times, expected once (after the role check)")
endif()

# The installed programs run from there: the helper names a consumer-control descriptor, the
# tool finds its language file under share/brasslane and talks to the simulated keyboard.
execute_process(COMMAND "${helper}/brasslane-hid-role" "${DESCRIPTORS}/046D_C52F_0001_000C.bin"
                OUTPUT_VARIABLE role RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT role STREQUAL "BRASSLANE_HID_ROLE=consumer\n")
    message(FATAL_ERROR "the installed helper said \"${role}\" (status ${result})")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "XDG_CONFIG_HOME=${PREFIX}/home/config"
                        "XDG_DATA_HOME=${PREFIX}/home/data" "XDG_RUNTIME_DIR=${PREFIX}/home/run"
                        "${PREFIX}/${BINDIR}/brasslanectl" --simulate info
                OUTPUT_VARIABLE info ERROR_VARIABLE error RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT info MATCHES "Wave")
    message(FATAL_ERROR "the installed brasslanectl failed (${result}): ${info}${error}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
