#ifndef QUILLMARK_CATALOG_CATALOGMODEL_H
#define QUILLMARK_CATALOG_CATALOGMODEL_H

#include "catalog/CatalogRow.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>
#include <QList>

/// The rows of the catalog list, kept sorted by compareRowCaptions, and by the names' bytes where two captions
/// are the same. A row's index is its position in that order.
/// Columns: "File" (the caption), then one column for each of the row's six texts. UI thread only.
class CatalogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    /// The whole row, as a CatalogRow, in every column.
    static constexpr int RowRole = Qt::UserRole + 1;
    /// The state icon, -1 to 3, in every column.
    static constexpr int StateIconRole = Qt::UserRole + 2;
    static constexpr int ColumnCount = 7;

    explicit CatalogModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    int count() const { return static_cast<int>(m_rows.size()); }
    const CatalogRow& row(int index) const { return m_rows.at(index); }
    const QList<CatalogRow>& rows() const { return m_rows; }

    /// Removes every row.
    void clear();
    /// Adds one fresh row per file name (no texts, no icon) and sorts the whole list again.
    void addRows(const QList<QByteArray>& names);
    /// Adds one fresh row at its place in the order and gives its index.
    int insertRow(const QByteArray& name);
    void removeRow(int index);
    /// Replaces the texts, the icon and the detail of a row; its caption stays.
    void setRow(int index, const CatalogRow& row);
    /// The row of the file name, byte for byte; -1 when there is none.
    int findName(const QByteArray& name) const;

private:
    void rebuildIndex();

    QList<CatalogRow> m_rows;
    QHash<QByteArray, int> m_rowOfName;
};

#endif // QUILLMARK_CATALOG_CATALOGMODEL_H
