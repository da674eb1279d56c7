# For a cross build: the header-only libraries as imported targets whose include folder holds
# links to the host's copies of just those libraries, so that nothing else of the host's
# /usr/include (its C library above all) can shadow the target system's headers.
set(_host_headers "${CMAKE_BINARY_DIR}/host-headers")
file(MAKE_DIRECTORY "${_host_headers}")
foreach(_folder nlohmann CLI)
    if(NOT EXISTS "/usr/include/${_folder}")
        message(FATAL_ERROR "/usr/include/${_folder} is missing: install the host's nlohmann-json3-dev and libcli11-dev")
    endif()
    file(CREATE_LINK "/usr/include/${_folder}" "${_host_headers}/${_folder}" SYMBOLIC)
endforeach()

add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${_host_headers}")
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${_host_headers}")
