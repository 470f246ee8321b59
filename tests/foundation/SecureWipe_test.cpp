#include "foundation/SecureWipe.h"

#include <gtest/gtest.h>

#include <array>

using namespace foundation;

TEST(SecureWipe, MemoryIsZeroed)
{
    std::array<char, 9> key{'k', 'e', 'y', 'b', 'y', 't', 'e', 's', 'x'};
    WipeMemory(key.data(), 8);
    EXPECT_EQ(std::string(key.data(), 8), std::string(8, '\0'));
    EXPECT_EQ(key[8], 'x'); // nothing beyond the given size
    WipeMemory(nullptr, 4);
    WipeMemory(key.data(), 0);
}

TEST(SecureWipe, BytesAndTextAreEmptied)
{
    QByteArray bytes("password");
    WipeBytes(bytes);
    EXPECT_TRUE(bytes.isEmpty());
    QByteArray none;
    WipeBytes(none);
    EXPECT_TRUE(none.isEmpty());

    QString text = QStringLiteral("pässword");
    WipeText(text);
    EXPECT_TRUE(text.isEmpty());
}
