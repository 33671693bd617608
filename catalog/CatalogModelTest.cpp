#include "catalog/CatalogModel.h"

#include "catalog/TestPrinters.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

QStringList captions(const CatalogModel& model)
{
    QStringList result;
    for (const CatalogRow& row : model.rows())
        result.append(row.Caption);
    return result;
}

TEST(CatalogModelTest, KeepsRowsSortedAndFindsCaptionsExactly)
{
    CatalogModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.addRows({"zz.po", "ab.po", "Ma.po"});
    EXPECT_EQ(captions(model), QStringList({"ab.po", "Ma.po", "zz.po"}));
    model.addRows({"b.po"});
    EXPECT_EQ(captions(model), QStringList({"ab.po", "b.po", "Ma.po", "zz.po"}));

    EXPECT_EQ(model.findName("Ma.po"), 2);
    EXPECT_EQ(model.findName("ma.po"), -1);
    EXPECT_EQ(model.findName("zz"), -1);
    EXPECT_EQ(model.data(model.index(2, 0)).toString(), "Ma.po");
    EXPECT_EQ(model.data(model.index(2, 0), CatalogModel::StateIconRole).toInt(), CatalogRow::IconNone);
    EXPECT_EQ(model.headerData(6, Qt::Horizontal).toString(), "Untranslated");

    // One at a time, as files come and go while the list is shown.
    EXPECT_EQ(model.insertRow("c.po"), 2);
    model.removeRow(0);
    EXPECT_EQ(captions(model), QStringList({"b.po", "c.po", "Ma.po", "zz.po"}));
    EXPECT_EQ(model.findName("Ma.po"), 2);
    // Names whose captions are the same, their bytes not being UTF-8, keep one order.
    EXPECT_EQ(model.insertRow("y\xfe.po"), 3);
    EXPECT_EQ(model.insertRow("y\xff.po"), 4);
    EXPECT_EQ(model.insertRow("y\xfd.po"), 3);
    EXPECT_EQ(model.row(3).Caption, QStringLiteral("y\uFFFD.po"));

    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.findName("ab.po"), -1);
}

TEST(CatalogModelTest, SetRowChangesTextsAndIconButNotTheCaption)
{
    CatalogModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.addRows({"a.po", "b.po"});
    QSignalSpy changed(&model, &CatalogModel::dataChanged);

    CatalogRow row;
    row.Caption = "other";
    row.Texts = {"50%", "", "4", "2", "1", "1"};
    row.StateIcon = CatalogRow::IconAtOrBelowThreshold;
    model.setRow(1, row);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toModelIndex(), model.index(1, 0));
    EXPECT_EQ(changed.at(0).at(1).toModelIndex(), model.index(1, CatalogModel::ColumnCount - 1));
    EXPECT_EQ(model.row(1).Caption, "b.po");
    EXPECT_EQ(model.row(1).Texts, row.Texts);
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), "50%");
    EXPECT_EQ(model.data(model.index(1, 3)).toString(), "4");
    EXPECT_EQ(model.data(model.index(1, 5), CatalogModel::RowRole).value<CatalogRow>().StateIcon,
              CatalogRow::IconAtOrBelowThreshold);

    // The same values again repaint nothing.
    model.setRow(1, row);
    EXPECT_EQ(changed.count(), 1);
}

} // namespace
