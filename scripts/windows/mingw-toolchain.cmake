# 64-bit Windows with Debian's MinGW-w64 (posix threads, like Qt's own MinGW builds), against the Qt for Windows
# that scripts/windows-qt.sh builds. ZEVR_QT_WINDOWS_PREFIX names that Qt.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT ZEVR_QT_WINDOWS_PREFIX)
    message(FATAL_ERROR "ZEVR_QT_WINDOWS_PREFIX must name the Qt for Windows built by scripts/windows-qt.sh")
endif()
# Try-compiles run in projects of their own, which see this file but not the command line.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZEVR_QT_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH ${ZEVR_QT_WINDOWS_PREFIX} /usr/x86_64-w64-mingw32)
set(CMAKE_PREFIX_PATH ${ZEVR_QT_WINDOWS_PREFIX})
# Qt's moc, uic and rcc are the host's programs; libraries and headers come from the Windows side only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
