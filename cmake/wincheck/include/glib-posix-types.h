/* For the Windows compile check only: GMime comes with the Linux package's
   glib headers, whose configuration header was made for Linux and names two
   POSIX types that MinGW-w64 does not have. A Windows build uses glib's own
   Windows configuration instead. */
#ifndef MP_WINCHECK_GLIB_POSIX_TYPES_H
#define MP_WINCHECK_GLIB_POSIX_TYPES_H
typedef unsigned int uid_t;
typedef unsigned int gid_t;
#endif
