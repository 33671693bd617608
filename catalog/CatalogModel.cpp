#include "catalog/CatalogModel.h"

#include "catalog/RowOrder.h"

#include <algorithm>

namespace {

const char* const ColumnCaptions[CatalogModel::ColumnCount] = {
    "File", "Status", "Graph", "Total", "Translated", "Fuzzy", "Untranslated",
};

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
    m_firstRowOfCaption.clear();
    endResetModel();
}

void CatalogModel::addRows(const QStringList& captions)
{
    if (captions.isEmpty())
        return;
    beginResetModel();
    m_rows.reserve(m_rows.size() + captions.size());
    for (const QString& caption : captions) {
        CatalogRow fresh;
        fresh.Caption = caption;
        m_rows.append(std::move(fresh));
    }
    // Stable, so that rows whose captions compare equal keep the order in which they were added.
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const CatalogRow& a, const CatalogRow& b) {
        return compareRowCaptions(a.Caption, b.Caption) < 0;
    });
    rebuildIndex();
    endResetModel();
}

void CatalogModel::setRow(int index, const CatalogRow& row)
{
    CatalogRow& target = m_rows[index];
    if (target.Texts == row.Texts && target.StateIcon == row.StateIcon)
        return;
    target.Texts = row.Texts;
    target.StateIcon = row.StateIcon;
    emit dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
}

int CatalogModel::findCaption(const QString& name) const
{
    return m_firstRowOfCaption.value(name, -1);
}

void CatalogModel::rebuildIndex()
{
    m_firstRowOfCaption.clear();
    m_firstRowOfCaption.reserve(m_rows.size());
    for (int i = 0; i < count(); ++i)
        if (!m_firstRowOfCaption.contains(m_rows.at(i).Caption))
            m_firstRowOfCaption.insert(m_rows.at(i).Caption, i);
}
