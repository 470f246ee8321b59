# One include folder for the Windows compile check with only the headers of
# the Linux packages it borrows (OpenSSL, GoogleTest) and the gettext
# declarations: adding /usr/include itself would let glibc's headers shadow
# MinGW's. Made anew at every configuration (a few hundred links), so that a
# build folder from an older checkout gets the stand-ins added since.
set(MP_WINCHECK_INCLUDE ${CMAKE_BINARY_DIR}/wincheck-include)
block()
  file(REMOVE_RECURSE ${MP_WINCHECK_INCLUDE})
  file(MAKE_DIRECTORY ${MP_WINCHECK_INCLUDE}/openssl)
  # OpenSSL's configuration headers lie in the architecture folder.
  file(GLOB openssl_headers /usr/include/openssl/*.h /usr/include/x86_64-linux-gnu/openssl/*.h)
  foreach(header IN LISTS openssl_headers)
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${MP_WINCHECK_INCLUDE}/openssl/${name} SYMBOLIC)
  endforeach()
  foreach(folder gtest gmock)
    file(CREATE_LINK /usr/include/${folder} ${MP_WINCHECK_INCLUDE}/${folder} SYMBOLIC)
  endforeach()
  file(CREATE_LINK ${CMAKE_CURRENT_LIST_DIR}/../include/libintl.h
       ${MP_WINCHECK_INCLUDE}/libintl.h SYMBOLIC)
  file(CREATE_LINK ${CMAKE_CURRENT_LIST_DIR}/../include/iconv.h
       ${MP_WINCHECK_INCLUDE}/iconv.h SYMBOLIC)
endblock()

function(mp_wincheck_interface target)
  if(NOT TARGET ${target})
    add_library(${target} INTERFACE IMPORTED)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${MP_WINCHECK_INCLUDE})
  endif()
endfunction()

# GMime for the Windows compile check: the Linux package's headers (GMime,
# glib) and the iconv declarations MinGW-w64 lacks.
function(mp_wincheck_gmime target)
  if(NOT TARGET ${target})
    add_library(${target} INTERFACE IMPORTED)
    set(glib_config /usr/lib/x86_64-linux-gnu/glib-2.0/include)
    set_target_properties(${target} PROPERTIES
      INTERFACE_INCLUDE_DIRECTORIES "${MP_WINCHECK_INCLUDE};/usr/include/gmime-3.0;/usr/include/glib-2.0;${glib_config}"
      INTERFACE_COMPILE_OPTIONS "-include;${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../include/glib-posix-types.h")
  endif()
endfunction()
