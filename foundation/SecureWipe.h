#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>

namespace foundation {

// Overwriting secrets (passwords, keys) before their memory is released, in a
// way the compiler may not leave out as a store nobody reads.

void WipeMemory(void *data, std::size_t size);

// Overwrites the bytes with zeros and empties the array.
void WipeBytes(QByteArray &secret);
// Overwrites the characters with zeros and empties the text.
void WipeText(QString &secret);

} // namespace foundation
