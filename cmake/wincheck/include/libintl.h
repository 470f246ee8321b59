// Declarations of the GNU gettext functions the code uses, for the Windows
// compile check: MinGW-w64 ships no libintl.h. On Windows the library is a DLL.
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

__declspec(dllimport) char *gettext(const char *msgid);
__declspec(dllimport) char *dgettext(const char *domainname, const char *msgid);
__declspec(dllimport) char *dcgettext(const char *domainname, const char *msgid, int category);
__declspec(dllimport) char *ngettext(const char *msgid1, const char *msgid2, unsigned long n);
__declspec(dllimport) char *dngettext(const char *domainname, const char *msgid1,
                                      const char *msgid2, unsigned long n);
__declspec(dllimport) char *textdomain(const char *domainname);
__declspec(dllimport) char *bindtextdomain(const char *domainname, const char *dirname);
__declspec(dllimport) wchar_t *wbindtextdomain(const char *domainname, const wchar_t *wdirname);
__declspec(dllimport) char *bind_textdomain_codeset(const char *domainname, const char *codeset);

#ifdef __cplusplus
}
#endif
