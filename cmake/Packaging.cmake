# Debian package of both programs (./build.sh package): CPack's DEB generator,
# with the shared-library dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The mendprobe developers")
set(CPACK_PACKAGE_CONTACT "The mendprobe developers <mendprobe@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mail recovery and gz analysis tools")
# The long description; CPack puts the summary above it, indents it and turns
# empty lines into paragraph breaks.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Mailmend brings back mails that Thunderbird has marked as deleted but not yet
compacted away: it clears the deleted mark in the mail folder files of a
Thunderbird profile and removes their index.

Packprobe analyses the gz files of a backup: the gzip header with the backup's
own extra fields, the trailer, and what unpacking (after decrypting) really
gives. It can save the unpacked data.

Both are Qt 6 desktop programs with a command line, in English, German and
French.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see it: Qt's SVG plugins draw
# the window icons.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
