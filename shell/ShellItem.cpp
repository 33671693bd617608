#include "shell/ShellItem.h"

#include <QFileInfo>

#include <cstring>

namespace {

QString withoutQuestionMarks(QString text)
{
    if (text.size() > 1 && text.at(0) == u'?' && text.at(1) >= u'0' && text.at(1) <= u'9')
        text.remove(u'?');
    return text;
}

} // namespace

ShellItem ShellItem::fromPath(const QString& path)
{
    ShellItem item;
    item.ParsingName = path;
    item.DisplayName = QFileInfo(path).fileName();
    if (item.DisplayName.isEmpty())
        item.DisplayName = path;
    return item;
}

ShellItem ShellItem::fromIndex(qint32 index)
{
    ShellItem item;
    item.Data = QByteArray(reinterpret_cast<const char*>(&index), sizeof index);
    return item;
}

std::optional<qint32> ShellItem::dataInt32() const
{
    qint32 value = 0;
    if (Data.size() < static_cast<qsizetype>(sizeof value))
        return std::nullopt;
    std::memcpy(&value, Data.constData(), sizeof value);
    return value;
}

QString shellItemPath(PShellItem item)
{
    if (!item)
        return {};
    QString path = withoutQuestionMarks(item->ParsingName);
    if (path.startsWith(QLatin1String("::{")))
        path = withoutQuestionMarks(item->DisplayName);
    return path;
}
