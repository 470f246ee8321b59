#include "packprobe/core/TerminalInput.h"

#include <cstdio>

namespace packprobe {

bool ReadStdinLine(QByteArray &line, qsizetype maxBytes)
{
    line.clear();
    // Room for the whole line up front: growing would leave copies of the
    // password behind that nobody overwrites.
    line.reserve(maxBytes);
    bool any = false;
    for (;;) {
        const int c = std::fgetc(stdin);
        if (c == EOF)
            break;
        any = true;
        if (c == '\n')
            break;
        if (line.size() < maxBytes)
            line.append(char(c));
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return any;
}

} // namespace packprobe
