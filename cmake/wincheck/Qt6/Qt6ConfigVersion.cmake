# The Linux Qt 6 headers, announced with their own version.
file(STRINGS /usr/include/x86_64-linux-gnu/qt6/QtCore/qconfig.h _mp_qt_version_line
     REGEX "#define QT_VERSION_STR")
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" PACKAGE_VERSION "${_mp_qt_version_line}")
if(PACKAGE_VERSION VERSION_LESS PACKAGE_FIND_VERSION)
  set(PACKAGE_VERSION_COMPATIBLE FALSE)
else()
  set(PACKAGE_VERSION_COMPATIBLE TRUE)
endif()
