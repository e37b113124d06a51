include("${ZEVR_LINUX_QT5_DIR}/Qt5ConfigVersion.cmake")
