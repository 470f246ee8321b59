# gettext for the Windows compile check: declarations only.
include(${CMAKE_CURRENT_LIST_DIR}/MpWinCheckHeaders.cmake)
mp_wincheck_interface(Intl::Intl)
set(Intl_FOUND TRUE)
set(Intl_INCLUDE_DIRS ${MP_WINCHECK_INCLUDE})
