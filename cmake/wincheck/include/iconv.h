/* Declarations of the iconv functions for the Windows compile check: MinGW-w64
   ships no iconv.h, and a Windows build takes GNU libiconv's, which declares
   these. Only declarations; nothing here is linked. */
#ifndef MP_WINCHECK_ICONV_H
#define MP_WINCHECK_ICONV_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void *iconv_t;

iconv_t iconv_open(const char *tocode, const char *fromcode);
size_t iconv(iconv_t cd, char **inbuf, size_t *inbytesleft, char **outbuf, size_t *outbytesleft);
int iconv_close(iconv_t cd);

#ifdef __cplusplus
}
#endif

#endif
