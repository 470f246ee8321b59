#pragma once

#include <QByteArray>
#include <QString>

namespace packprobe {

// Line input for the command line, without echo for passwords.

// True when standard input is an interactive terminal.
bool StdinIsTerminal();
// True when standard error is one (progress lines go there only then).
bool StderrIsTerminal();

// Reads one line from standard input (without its line end). False at the end
// of the input before any byte. The line is bounded by maxBytes; the rest of
// a longer line is read and dropped.
bool ReadStdinLine(QByteArray &line, qsizetype maxBytes);

// Shows prompt on the terminal, reads one line with echo switched off and
// restores the terminal. False when there is no terminal or the input ends.
bool ReadHiddenLine(const QString &prompt, QByteArray &line, qsizetype maxBytes);

} // namespace packprobe
