# Read at the end of project() in the Windows check's build tree (scripts/windows-check.sh).
# The include directories stay on the compile command line, where launch.sh can tell Qt's apart.
set(CMAKE_CXX_USE_RESPONSE_FILE_FOR_INCLUDES OFF)
