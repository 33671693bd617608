#include "runner/LocalPath.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

TEST(LocalPath, anyBytesComeBackAndOnlyValidUtf8IsText)
{
    const QList<QByteArray> names{
        "de.po",
        "caf\xc3\xa9.po",
        "\xf0\x9f\x98\x80\xf0\x90\x82\x80.po", // two characters beyond the BMP, the second ending in U+DC80
        "caf\xe9.po", // Latin-1
        "\xc0\xaf\xe0\x80\xaf.po", // overlong forms
        "\xed\xa0\x80\xed\xb2\x80.po", // UTF-16 surrogates written as UTF-8
        "\xf4\x90\x80\x80.po", // above U+10FFFF
        "cut\xe2\x82", // a sequence cut short
        "\xff\xfe\x80",
        "\xef\xbb\xbf" "de.po", // a byte-order mark, which a plain UTF-8 decoding drops
        "de\xef\xbb\xbf.po",
        "\xef\xbb\xbf\xef\xbb\xbf",
        "caf\xe9\xef\xbb\xbf.po", // one after a byte that is not UTF-8
    };
    for (const QByteArray& name : names)
        EXPECT_EQ(encodeLocalPath(decodeLocalPath(name)), name) << name.toHex().toStdString();
    QByteArray everyByte;
    for (int b = 1; b < 256; ++b)
        everyByte.append(static_cast<char>(b));
    EXPECT_EQ(encodeLocalPath(decodeLocalPath(everyByte)), everyByte);

    EXPECT_EQ(decodeLocalPath("caf\xc3\xa9.po"), QStringLiteral("café.po"));
    EXPECT_EQ(decodeLocalPath("\xef\xbb\xbf" "de.po"), QStringLiteral("\uFEFFde.po"));
    EXPECT_EQ(displayLocalPath(decodeLocalPath("caf\xe9.po")), QStringLiteral("caf\uFFFD.po"));
    EXPECT_EQ(displayLocalPath(decodeLocalPath("\xed\xa0\x80")), QStringLiteral("\uFFFD\uFFFD\uFFFD"));
    EXPECT_EQ(displayLocalPath(decodeLocalPath("\xf0\x90\x82\x80")), QString::fromUtf8("\xf0\x90\x82\x80"));
}

} // namespace
