// Property: a file name's bytes come back exactly from its decoded form, whatever they are:
// encodeLocalPath(decodeLocalPath(b)) == b for any b, a byte-order mark and NUL included. When b is valid UTF-8
// the decoded name is its text: QString::fromUtf8(b), except that a byte-order mark at the very start, which
// fromUtf8 drops, is kept as U+FEFF. A lone surrogate in a decoded name is always a kept byte (U+DC80 to
// U+DCFF), and the shown name is the decoded one with exactly those units turned into U+FFFD.

#include "fuzz/FuzzCheck.h"
#include "runner/LocalPath.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString decoded = decodeLocalPath(bytes);
    FUZZ_CHECK(encodeLocalPath(decoded) == bytes);

    if (QByteArrayView(bytes).isValidUtf8()) {
        const QString text = QString::fromUtf8(bytes);
        FUZZ_CHECK(decoded == (bytes.startsWith("\xef\xbb\xbf") ? QChar(0xFEFF) + text : text));
    }

    const QString shown = displayLocalPath(decoded);
    FUZZ_CHECK(shown.size() == decoded.size());
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const char16_t unit = decoded[i].unicode();
        const bool paired = (QChar::isHighSurrogate(unit) && i + 1 < decoded.size() && decoded[i + 1].isLowSurrogate())
            || (QChar::isLowSurrogate(unit) && i > 0 && decoded[i - 1].isHighSurrogate());
        const bool kept = QChar::isSurrogate(unit) && !paired;
        FUZZ_CHECK(!kept || (unit >= 0xDC80 && unit <= 0xDCFF));
        FUZZ_CHECK(shown[i] == (kept ? QChar(QChar::ReplacementCharacter) : decoded[i]));
    }
    return 0;
}
