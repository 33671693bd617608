#include "runner/LocalPath.h"

#include <QByteArrayView>
#include <QStringDecoder>

namespace {

constexpr char16_t KeptByteBase = 0xDC00;

bool isKeptByte(char16_t unit)
{
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

/// The length of the valid UTF-8 sequence at bytes[i], 0 when there is none.
qsizetype validSequenceLength(const QByteArray& bytes, qsizetype i)
{
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const qsizetype left = bytes.size() - i;
    const unsigned char lead = at(i);
    // Second-byte bounds rule out overlong forms, UTF-16 surrogates and code points above U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    qsizetype length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < length || at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (qsizetype k = 2; k < length; ++k)
        if (!isContinuation(at(i + k)))
            return 0;
    return length;
}

} // namespace

QString decodeLocalPath(const QByteArray& bytes)
{
    // Qt's plain UTF-8 decoding drops a byte-order mark at the start of what it is given, and a name may begin
    // with one (or hold one after a byte that is not UTF-8): those three bytes are part of the name.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    if (QByteArrayView(bytes).isValidUtf8())
        return utf8.decode(bytes);
    QString text;
    text.reserve(bytes.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const qsizetype length = byte < 0x80 ? 1 : validSequenceLength(bytes, i);
        if (length > 0) {
            i += length;
            continue;
        }
        text.append(utf8.decode(QByteArrayView(bytes).sliced(runStart, i - runStart)));
        text.append(QChar(char16_t(KeptByteBase + byte)));
        runStart = ++i;
    }
    text.append(utf8.decode(QByteArrayView(bytes).sliced(runStart)));
    return text;
}

QByteArray encodeLocalPath(const QString& text)
{
    bool kept = false;
    for (const QChar c : text) {
        if (isKeptByte(c.unicode())) {
            kept = true;
            break;
        }
    }
    if (!kept)
        return text.toUtf8();
    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t unit = text[i].unicode();
        // A kept byte is a low surrogate standing alone; one that ends a pair is part of a character.
        if (isKeptByte(unit)) {
            bytes.append(static_cast<char>(unit - KeptByteBase));
            ++i;
            continue;
        }
        const qsizetype length = QChar::isHighSurrogate(unit) && i + 1 < n && text[i + 1].isLowSurrogate() ? 2 : 1;
        bytes.append(QStringView(text).mid(i, length).toUtf8());
        i += length;
    }
    return bytes;
}

QString displayLocalPath(const QString& text)
{
    QString shown = text;
    const qsizetype n = shown.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (QChar::isHighSurrogate(shown[i].unicode()) && i + 1 < n && shown[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (isKeptByte(shown[i].unicode()))
            shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}
