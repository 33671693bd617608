#include "catalog/RowOrder.h"

#include <algorithm>
#include <array>

namespace {

constexpr int IgnoredWeight = -1;

/// ASCII punctuation and symbols in the order they sort, before the digits.
constexpr char SymbolOrder[] = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";

constexpr std::array<int, 128> makeAsciiWeights()
{
    std::array<int, 128> weights{};
    // Control characters first, among themselves by code.
    for (int c = 0; c < 0x20; ++c)
        weights[static_cast<std::size_t>(c)] = c;
    weights[0x7f] = 0x20;
    int next = 0x40;
    for (const char* symbol = SymbolOrder; *symbol; ++symbol)
        weights[static_cast<std::size_t>(*symbol)] = next++;
    next = 0x80;
    for (int c = '0'; c <= '9'; ++c)
        weights[static_cast<std::size_t>(c)] = next++;
    next = 0x100;
    for (int c = 'a'; c <= 'z'; ++c) {
        weights[static_cast<std::size_t>(c)] = next;
        weights[static_cast<std::size_t>(c - 'a' + 'A')] = next;
        ++next;
    }
    weights['-'] = IgnoredWeight;
    weights['\''] = IgnoredWeight;
    return weights;
}

constexpr std::array<int, 128> AsciiWeights = makeAsciiWeights();

/// The primary weight of a character: -1 for the characters that only break ties.
int primaryWeight(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 128)
        return AsciiWeights[u];
    return 0x200 + u;
}

bool isUpperAscii(QChar c)
{
    return c.unicode() >= 'A' && c.unicode() <= 'Z';
}
bool isLowerAscii(QChar c)
{
    return c.unicode() >= 'a' && c.unicode() <= 'z';
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

int compareRowCaptions(QStringView a, QStringView b)
{
    // First pass: the weights of the characters that are not ignored. Along the way, remember the first
    // place where two letters of the same weight differ in case, and count the ignored characters.
    qsizetype i = 0;
    qsizetype j = 0;
    int caseOrder = 0;
    int ignoredA = 0;
    int ignoredB = 0;
    for (;;) {
        while (i < a.size() && primaryWeight(a[i]) == IgnoredWeight) {
            ++ignoredA;
            ++i;
        }
        while (j < b.size() && primaryWeight(b[j]) == IgnoredWeight) {
            ++ignoredB;
            ++j;
        }
        if (i == a.size() || j == b.size())
            break;
        const int wa = primaryWeight(a[i]);
        const int wb = primaryWeight(b[j]);
        if (wa != wb)
            return sign(wa - wb);
        if (caseOrder == 0 && a[i] != b[j]) {
            if (isLowerAscii(a[i]) && isUpperAscii(b[j]))
                caseOrder = -1;
            else if (isUpperAscii(a[i]) && isLowerAscii(b[j]))
                caseOrder = 1;
        }
        ++i;
        ++j;
    }
    const bool aLeft = i < a.size();
    const bool bLeft = j < b.size();
    if (aLeft != bLeft)
        return aLeft ? 1 : -1;
    if (caseOrder != 0)
        return caseOrder;
    if (ignoredA != ignoredB)
        return ignoredA < ignoredB ? -1 : 1;
    return sign(a.compare(b, Qt::CaseSensitive));
}
