# OpenSSL for the Windows compile check: the Linux package's headers.
include(${CMAKE_CURRENT_LIST_DIR}/MpWinCheckHeaders.cmake)
mp_wincheck_interface(OpenSSL::Crypto)
mp_wincheck_interface(OpenSSL::SSL)
file(STRINGS ${MP_WINCHECK_INCLUDE}/openssl/opensslv.h _mp_ssl_version REGEX "# *define OPENSSL_VERSION_STR ")
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" OPENSSL_VERSION "${_mp_ssl_version}")
set(OpenSSL_FOUND TRUE)
set(OPENSSL_FOUND TRUE)
set(OPENSSL_INCLUDE_DIR ${MP_WINCHECK_INCLUDE})
