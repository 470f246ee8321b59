#include "foundation/LangUtils.h"

QString SystemLanguageCode() { return {}; }
