#include "settings/SettingsDocument.h"

#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <utility>

namespace {

constexpr QByteArrayView ByteOrderMark("\xEF\xBB\xBF");

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

/// Where the text proper begins: the parser skips a byte order mark.
qsizetype textStart(QByteArrayView data)
{
    return data.startsWith(ByteOrderMark) ? ByteOrderMark.size() : 0;
}

qsizetype skipBlanks(QByteArrayView data, qsizetype at)
{
    while (at < data.size() && isBlank(data[at]))
        ++at;
    return at;
}

/// The end of the string whose opening quote is at at: just past its closing quote.
qsizetype skipString(QByteArrayView data, qsizetype at)
{
    for (++at; at < data.size(); ++at) {
        if (data[at] == '\\')
            ++at;
        else if (data[at] == '"')
            return at + 1;
    }
    return data.size();
}

/// A number as JSON writes one: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
bool isJsonNumber(QByteArrayView token)
{
    qsizetype at = 0;
    const auto digits = [&] {
        const qsizetype start = at;
        while (at < token.size() && isDigit(token[at]))
            ++at;
        return at > start;
    };
    if (at < token.size() && token[at] == '-')
        ++at;
    if (at < token.size() && token[at] == '0')
        ++at;
    else if (!digits())
        return false;
    if (at < token.size() && token[at] == '.') {
        ++at;
        if (!digits())
            return false;
    }
    if (at < token.size() && (token[at] == 'e' || token[at] == 'E')) {
        ++at;
        if (at < token.size() && (token[at] == '+' || token[at] == '-'))
            ++at;
        if (!digits())
            return false;
    }
    return at == token.size();
}

QJsonParseError::ParseError parseError(const QByteArray& data)
{
    QJsonParseError error;
    QJsonDocument::fromJson(data, &error);
    return error.error;
}

/// The one value of a JSON text "[text]".
QJsonValue parseValue(QByteArrayView text)
{
    return QJsonDocument::fromJson("[" + text.toByteArray() + "]").array().first();
}

QByteArray encode(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

/// A range of bytes in the file's text: [Begin, End).
struct Span
{
    qsizetype Begin = 0;
    qsizetype End = 0;
};

/// Each number in data, outside strings, that is valid JSON but that the parser cannot hold, overwritten with a 0
/// and blanks: the text keeps its length, so the parser's byte offsets still point into the file as written.
QList<Span> neutraliseUnrepresentableNumbers(QByteArray& data)
{
    QList<Span> numbers;
    for (qsizetype at = textStart(data); at < data.size();) {
        const char c = data[at];
        if (c == '"') {
            at = skipString(data, at);
            continue;
        }
        if (c != '-' && !isDigit(c)) {
            ++at;
            continue;
        }
        qsizetype end = at;
        while (end < data.size() && (isDigit(data[end]) || QByteArrayView("+-.eE").contains(data[end])))
            ++end;
        const QByteArrayView token = QByteArrayView(data).sliced(at, end - at);
        // A short number without an exponent always fits; the rest the parser judges itself.
        const bool mayNotFit = token.size() > 15 || token.contains('e') || token.contains('E');
        if (mayNotFit && isJsonNumber(token)
            && parseError("[" + token.toByteArray() + "]") == QJsonParseError::IllegalNumber) {
            data[at] = '0';
            for (qsizetype blank = at + 1; blank < end; ++blank)
                data[blank] = ' ';
            numbers.append({at, end});
        }
        at = end;
    }
    return numbers;
}

/// The members of the object that data holds, as spans of its name (quotes included) and of its value; data must
/// be a JSON object the parser took once its unrepresentable numbers were neutralised.
QList<std::pair<Span, Span>> memberSpans(QByteArrayView data)
{
    QList<std::pair<Span, Span>> members;
    qsizetype at = skipBlanks(data, textStart(data));
    Q_ASSERT(at < data.size() && data[at] == '{');
    at = skipBlanks(data, at + 1);
    while (at < data.size() && data[at] == '"') {
        const Span name{at, skipString(data, at)};
        at = skipBlanks(data, name.End);
        Q_ASSERT(at < data.size() && data[at] == ':');
        at = skipBlanks(data, at + 1);
        Span value{at, at};
        int depth = 0;
        while (at < data.size()) {
            const char c = data[at];
            if (c == '"') {
                at = skipString(data, at);
                value.End = at;
                continue;
            }
            if (depth == 0 && (c == ',' || c == '}'))
                break;
            if (c == '[' || c == '{')
                ++depth;
            else if (c == ']' || c == '}')
                --depth;
            ++at;
            if (!isBlank(c))
                value.End = at;
        }
        members.append({name, value});
        if (at < data.size() && data[at] == ',')
            at = skipBlanks(data, at + 1);
    }
    return members;
}

} // namespace

std::optional<SettingsDocument> SettingsDocument::fromJson(const QByteArray& data, QString* problem)
{
    SettingsDocument document;
    if (skipBlanks(data, textStart(data)) == data.size())
        return document;

    QByteArray parsed = data;
    const QList<Span> unrepresentable = neutraliseUnrepresentableNumbers(parsed);
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(parsed, &error);
    QString why;
    if (error.error != QJsonParseError::NoError)
        why = QStringLiteral("%1 at byte %2").arg(error.errorString()).arg(error.offset);
    else if (!json.isObject())
        why = QStringLiteral("not a JSON object");
    if (!why.isEmpty()) {
        if (problem)
            *problem = why;
        return std::nullopt;
    }

    for (const auto& [name, value] : memberSpans(data)) {
        Member member;
        member.NameText = data.sliced(name.Begin, name.End - name.Begin);
        const QByteArrayView inner = QByteArrayView(member.NameText).sliced(1, member.NameText.size() - 2);
        member.Name = inner.contains('\\') ? parseValue(member.NameText).toString() : QString::fromUtf8(inner);
        member.Stored.Text = data.sliced(value.Begin, value.End - value.Begin);
        member.Stored.Value = parseValue(QByteArrayView(parsed).sliced(value.Begin, value.End - value.Begin));
        for (const Span& number : unrepresentable)
            member.Stored.Unrepresentable |= number.Begin >= value.Begin && number.End <= value.End;
        document.m_members.append(std::move(member));
    }
    return document;
}

qsizetype SettingsDocument::indexOf(const QString& name) const
{
    for (qsizetype i = m_members.size() - 1; i >= 0; --i) {
        if (m_members.at(i).Name == name)
            return i;
    }
    return -1;
}

const StoredValue* SettingsDocument::value(const QString& name) const
{
    const qsizetype index = indexOf(name);
    return index < 0 ? nullptr : &m_members.at(index).Stored;
}

QStringList SettingsDocument::names() const
{
    QStringList names;
    for (const Member& member : m_members) {
        if (!names.contains(member.Name))
            names.append(member.Name);
    }
    return names;
}

void SettingsDocument::insert(const QString& name, const QJsonValue& value)
{
    Q_ASSERT(!value.isUndefined());
    const qsizetype index = indexOf(name);
    if (index >= 0) {
        StoredValue& stored = m_members[index].Stored;
        const bool same = !stored.Unrepresentable && stored.Value == value;
        if (!same)
            stored = {value, encode(value), false};
        noteEdit(name, !same);
        return;
    }
    m_members.append({name, encode(QJsonValue(name)), {value, encode(value), false}});
    noteEdit(name, true);
}

void SettingsDocument::remove(const QString& name)
{
    // Every one goes: an earlier duplicate would otherwise come back as the value.
    const qsizetype removed = m_members.removeIf([&](const Member& member) { return member.Name == name; });
    noteEdit(name, removed > 0);
}

void SettingsDocument::noteEdit(const QString& name, bool changed)
{
    if (!m_edited.contains(name))
        m_edited.append(name);
    if (changed && !m_changed.contains(name))
        m_changed.append(name);
}

QByteArray SettingsDocument::toJson() const
{
    // The layout the JSON writer gives an object, so that a file written whole reads the same as before.
    QByteArray text = "{\n";
    for (qsizetype i = 0; i < m_members.size(); ++i) {
        const Member& member = m_members.at(i);
        text += "    " + member.NameText + ": " + member.Stored.Text;
        text += i + 1 < m_members.size() ? ",\n" : "\n";
    }
    return text + "}\n";
}
