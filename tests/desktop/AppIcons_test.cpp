// The programs' window icons: the SVG files that are also installed as the
// desktop's icons, built into the programs as Qt resources.
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

struct IconCase
{
    const char *name;
    const char *resource;
};

constexpr IconCase IconCases[] = {
    {"Mailmend", ":/icons/org.mendprobe.Mailmend.svg"},
    {"Packprobe", ":/icons/org.mendprobe.Packprobe.svg"},
};

class AppIconTest : public ::testing::TestWithParam<IconCase>
{
};

TEST_P(AppIconTest, ResourceIsAnSvgDocument)
{
    QFile file(QString::fromLatin1(GetParam().resource));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << GetParam().resource;
    const QByteArray data = file.readAll();
    EXPECT_TRUE(data.startsWith("<?xml")) << GetParam().resource;
    EXPECT_TRUE(data.contains("<svg ")) << GetParam().resource;
}

TEST_P(AppIconTest, DrawsAtWindowIconSizes)
{
    const QIcon icon(QString::fromLatin1(GetParam().resource));
    for (const int size : {16, 32, 64}) {
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_FALSE(image.isNull()) << "size " << size << " (Qt's SVG plugins missing?)";
        EXPECT_EQ(image.width(), size);
        // Something is drawn: the centre of both icons is opaque.
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255) << "size " << size;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, AppIconTest, ::testing::ValuesIn(IconCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
