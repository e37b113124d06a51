# Debian's Qt 5 for Linux, standing in for Qt for Windows in the Windows check's build tree
# (scripts/windows-check.sh): its headers, moc, uic and rcc are what a Windows build uses too.
# ZEVR_LINUX_QT5_DIR is the directory of Debian's own Qt5Config.cmake.
include("${ZEVR_LINUX_QT5_DIR}/Qt5Config.cmake")

# A Windows configuration wants an import library for every shared library. Nothing is linked against
# these, so the Linux library itself is named.
get_directory_property(_zevr_imported IMPORTED_TARGETS)
foreach(_zevr_target IN LISTS _zevr_imported)
    get_target_property(_zevr_type ${_zevr_target} TYPE)
    if(NOT _zevr_target MATCHES "^Qt5::" OR NOT _zevr_type STREQUAL "SHARED_LIBRARY")
        continue()
    endif()
    get_target_property(_zevr_configs ${_zevr_target} IMPORTED_CONFIGURATIONS)
    foreach(_zevr_config IN LISTS _zevr_configs)
        get_target_property(_zevr_location ${_zevr_target} IMPORTED_LOCATION_${_zevr_config})
        set_target_properties(${_zevr_target} PROPERTIES IMPORTED_IMPLIB_${_zevr_config} "${_zevr_location}")
    endforeach()
endforeach()
