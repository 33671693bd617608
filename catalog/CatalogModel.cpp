#include "catalog/CatalogModel.h"

#include "catalog/RowOrder.h"
#include "runner/LocalPath.h"

#include <algorithm>

namespace {

const char* const ColumnCaptions[CatalogModel::ColumnCount] = {
    "File", "Status", "Graph", "Total", "Translated", "Fuzzy", "Untranslated",
};

bool rowsBefore(const CatalogRow& a, const CatalogRow& b)
{
    const int order = compareRowCaptions(a.Caption, b.Caption);
    return order != 0 ? order < 0 : a.Name < b.Name;
}

CatalogRow freshRow(const QByteArray& name)
{
    CatalogRow row;
    row.Name = name;
    row.Caption = displayLocalPath(decodeLocalPath(name));
    return row;
}

} // namespace

CatalogModel::CatalogModel(QObject* parent)
    : QAbstractTableModel(parent)
{ }

int CatalogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int CatalogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CatalogModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const CatalogRow& r = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? r.Caption : r.Texts.at(static_cast<std::size_t>(index.column() - 1));
    case RowRole:
        return QVariant::fromValue(r);
    case StateIconRole:
        return r.StateIcon;
    default:
        return {};
    }
}

QVariant CatalogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(ColumnCaptions[section]);
}

void CatalogModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    m_rowOfName.clear();
    endResetModel();
}

void CatalogModel::addRows(const QList<QByteArray>& names)
{
    if (names.isEmpty())
        return;
    beginResetModel();
    m_rows.reserve(m_rows.size() + names.size());
    for (const QByteArray& name : names)
        m_rows.append(freshRow(name));
    std::stable_sort(m_rows.begin(), m_rows.end(), rowsBefore);
    rebuildIndex();
    endResetModel();
}

int CatalogModel::insertRow(const QByteArray& name)
{
    CatalogRow fresh = freshRow(name);
    const int index
        = static_cast<int>(std::upper_bound(m_rows.cbegin(), m_rows.cend(), fresh, rowsBefore) - m_rows.cbegin());
    beginInsertRows(QModelIndex(), index, index);
    m_rows.insert(index, std::move(fresh));
    rebuildIndex();
    endInsertRows();
    return index;
}

void CatalogModel::removeRow(int index)
{
    beginRemoveRows(QModelIndex(), index, index);
    m_rows.removeAt(index);
    rebuildIndex();
    endRemoveRows();
}

void CatalogModel::setRow(int index, const CatalogRow& row)
{
    CatalogRow& target = m_rows[index];
    if (target.Texts == row.Texts && target.StateIcon == row.StateIcon && target.Detail == row.Detail)
        return;
    target.Texts = row.Texts;
    target.StateIcon = row.StateIcon;
    target.Detail = row.Detail;
    emit dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
}

int CatalogModel::findName(const QByteArray& name) const
{
    return m_rowOfName.value(name, -1);
}

void CatalogModel::rebuildIndex()
{
    m_rowOfName.clear();
    m_rowOfName.reserve(m_rows.size());
    for (int i = 0; i < count(); ++i)
        m_rowOfName.insert(m_rows.at(i).Name, i);
}
