# Prints, one a line, the targets that the install rules of a configured build tree install, as CMake's
# file API reports them. The tree must have been configured with the query "client-zevr/codemodel-v2".
#
#   cmake -DBUILD_DIR=DIR -P installed-targets.cmake
set(reply "${BUILD_DIR}/.cmake/api/v1/reply")
file(GLOB indexes "${reply}/index-*.json")
if(NOT indexes)
    message(FATAL_ERROR "no CMake file API reply in ${reply}")
endif()
# Index names carry their time, so the last in order is the newest.
list(SORT indexes)
list(GET indexes -1 index)
file(READ "${index}" json)
string(JSON codemodel GET "${json}" reply client-zevr codemodel-v2 jsonFile)
file(READ "${reply}/${codemodel}" json)
string(JSON count LENGTH "${json}" configurations 0 targets)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
    string(JSON name GET "${json}" configurations 0 targets ${i} name)
    string(JSON file GET "${json}" configurations 0 targets ${i} jsonFile)
    file(READ "${reply}/${file}" target)
    string(JSON install ERROR_VARIABLE not_installed GET "${target}" install)
    if(NOT not_installed)
        execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${name}")
    endif()
endforeach()
