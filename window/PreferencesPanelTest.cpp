#include "window/PreferencesPanel.h"

#include "settings/Registry.h"
#include "settings/TestSupport.h"
#include "window/PopupMenus.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

/// The window as the panel and the menus meet it: its handlers forward the way the main window's do.
class HostWindow : public QWidget, public PreferencesHost, public PopupMenusHost
{
public:
    explicit HostWindow(const QString& settingsFile)
        : registryStore(settingsFile)
    {
        registryStore.OpenKey();
        // The font the panel is laid out for, as the window starts with.
        setFont(QFont(QStringLiteral("Tahoma"), 8));
        resize(PreferencesPanel::DesignParentSize);
        Label2 = new QLabel(QStringLiteral("github.com/velloran/quillmark"), this);
        Label2->move(204, 360);
        Output = new QPlainTextEdit(this);
        QFont fixed(QStringLiteral("Lucida Console"), 9);
        fixed.setStyleHint(QFont::Monospace);
        Output->setFont(fixed);
        KeepOwnFont(Output);
        Output->setGeometry(0, 0, 200, 100);
        list = new QTreeView(this);
        list->setGeometry(200, 0, 200, 100);
        menus = new PopupMenus(*this, list, this);
        PnlEditor = new PreferencesPanel(*this, this);

        QObject::connect(PnlEditor->Button4, &QPushButton::clicked, this, [this] { PnlEditor->Button4Click(); });
        QObject::connect(PnlEditor->BtnFont, &QPushButton::clicked, this, [this] { PnlEditor->BtnFontClick(); });
        QObject::connect(PnlEditor->BtnEditor, &QPushButton::clicked, this, [this] { PnlEditor->BtnEditorClick(); });
        QObject::connect(PnlEditor->Track, &QSlider::valueChanged, this,
                         [this](int position) { PnlEditor->TrackChange(position); });
        PnlEditor->EdtEditor->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == PnlEditor->EdtEditor && event->type() == QEvent::KeyPress)
            return PnlEditor->EdtEditorKeyPress(*static_cast<QKeyEvent*>(event));
        return QWidget::eventFilter(watched, event);
    }

    TRegistry& registry() override { return registryStore; }
    UnreadValues& unreadValues() override { return unread; }
    QString editorPath() const override { return EditorPath; }
    void setEditorPath(const QString& path) override { EditorPath = path; }
    void setDefaultAction(qint32 action) override { DefaultAction = action; }
    void setYellowThreshold(YellowThreshold threshold) override { yellow = threshold; }
    void applyInterfaceFont(const QFont& font) override { ApplyInterfaceFont(this, font, Label2); }
    void MarkDefaultItem() override
    {
        events.append(QStringLiteral("mark %1").arg(DefaultAction));
        menus->MarkDefaultItem(DefaultAction);
    }
    void UpdateCustomEditorItem() override
    {
        events.append(QStringLiteral("update %1").arg(EditorPath));
        menus->UpdateCustomEditorItem(EditorPath);
    }
    QString shownFolder() const override { return QStringLiteral("/po/"); }
    void checkOnSingleFilePage(const QString&) override { }

    TRegistry registryStore;
    UnreadValues unread;
    QString EditorPath = QStringLiteral("gedit");
    qint32 DefaultAction = 0;
    YellowThreshold yellow;
    QStringList events;
    QLabel* Label2;
    QPlainTextEdit* Output;
    QTreeView* list;
    PopupMenus* menus;
    PreferencesPanel* PnlEditor;
};

class PreferencesPanelTest : public ConfigHomeTest
{
protected:
    void SetUp() override
    {
        ConfigHomeTest::SetUp();
        window = std::make_unique<HostWindow>(TRegistry::defaultFilePath());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        panel = window->PnlEditor;
    }

    void TearDown() override
    {
        window.reset();
        ConfigHomeTest::TearDown();
    }

    /// What another program would read from the settings now.
    QJsonValue stored(const char* name) const
    {
        return QFile::exists(settingsFile()) ? storedValues().value(QLatin1String(name)) : QJsonValue::Undefined;
    }

    /// Runs act on the modal dialog that starts next, once it is shown.
    template <typename Dialog> void whenDialogOpens(std::function<void(Dialog*)> act)
    {
        auto* timer = new QTimer(window.get());
        timer->setInterval(20);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
            if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
                timer->stop();
                timer->deleteLater();
                act(dialog);
            }
        });
        timer->start();
    }

    std::unique_ptr<HostWindow> window;
    PreferencesPanel* panel = nullptr;
};

TEST_F(PreferencesPanelTest, SliderAppliesThresholdAtOnceButStoresOnlyAtContinue)
{
    window->registry().WriteInteger(QStringLiteral("Ratio"), 3);
    panel->setTrackPosition(3);
    panel->BtnPrefClick();
    ASSERT_EQ(window->yellow, (YellowThreshold{1, 2}));
    EXPECT_EQ(panel->Label10->text(), QStringLiteral("1/2"));

    panel->Track->setFocus();
    QTest::keyClick(panel->Track, Qt::Key_End);
    EXPECT_EQ(panel->Track->value(), 6);
    EXPECT_EQ(panel->Label10->text(), QStringLiteral("1/8"));
    EXPECT_EQ(window->yellow, (YellowThreshold{1, 8}));
    EXPECT_EQ(stored("Ratio"), QJsonValue(3));
    EXPECT_TRUE(panel->isVisible());

    QTest::mouseClick(panel->BtnEditor, Qt::LeftButton);
    EXPECT_EQ(stored("Ratio"), QJsonValue(6));
    EXPECT_FALSE(panel->isVisible());

    // Out of range at start, the slider rests at its nearer end and says so.
    panel->setTrackPosition(3);
    panel->setTrackPosition(42);
    EXPECT_EQ(panel->Track->value(), 6);
    EXPECT_EQ(panel->Label10->text(), QStringLiteral("1/8"));
}

TEST_F(PreferencesPanelTest, ChosenFontTakesEffectIsShownAndStored)
{
    const QColor outputColourBefore = window->Output->palette().color(QPalette::Text);
    const QFont outputFontBefore = window->Output->font();
    QFont chosen(QStringLiteral("DejaVu Sans"), 11);
    chosen.setItalic(true);
    panel->setFontDialog([&](QWidget*, const QFont&) { return chosen; });

    QTest::mouseClick(panel->BtnFont, Qt::LeftButton);

    EXPECT_EQ(panel->BtnFont->text(), QStringLiteral("DejaVu Sans, 11, Italic"));
    EXPECT_EQ(stored("Font"), QJsonValue(QStringLiteral("DejaVu Sans")));
    EXPECT_EQ(stored("FontSize"), QJsonValue(11));
    EXPECT_EQ(stored("FontStyle"), QJsonValue(QStringLiteral("i")));
    // The window and what follows it, the panel's own controls included; not Output.
    EXPECT_TRUE(window->font().italic());
    EXPECT_EQ(window->font().pointSize(), 11);
    EXPECT_TRUE(panel->Label6->font().italic());
    EXPECT_TRUE(window->list->font().italic());
    EXPECT_EQ(window->Output->font(), outputFontBefore);
    EXPECT_EQ(window->Output->palette().color(QPalette::Text), outputColourBefore);
    // The link label takes the font but keeps its colour.
    EXPECT_TRUE(window->Label2->font().italic());
    EXPECT_EQ(window->Label2->palette().color(QPalette::WindowText), QColor(81, 109, 145));
    // The panel grows with the font: labels keep their whole texts without running under the controls beside them.
    EXPECT_GT(panel->width(), PreferencesPanel::DesignRect.width());
    EXPECT_LE(panel->Label6->geometry().right(), panel->Track->x());
    EXPECT_GE(panel->Label6->height(), panel->Label6->heightForWidth(panel->Label6->width()));
    EXPECT_GE(panel->Label4->width(), QFontMetrics(panel->Label4->font()).horizontalAdvance(panel->Label4->text()));
    EXPECT_LT(panel->Label4->geometry().right(), panel->EdtEditor->x());

    chosen.setBold(true);
    QTest::mouseClick(panel->BtnFont, Qt::LeftButton);
    EXPECT_EQ(panel->BtnFont->text(), QStringLiteral("DejaVu Sans, 11, Bold Italic"));
    EXPECT_EQ(stored("FontStyle"), QJsonValue(QStringLiteral("bi")));
    EXPECT_TRUE(window->font().bold());
    EXPECT_FALSE(window->Output->font().bold());
}

TEST_F(PreferencesPanelTest, CancelledFontDialogStoresTheCurrentFontAndChangesNothing)
{
    ApplyInterfaceFont(window.get(), MakeInterfaceFont({QStringLiteral("Tahoma"), 8, true, false}), window->Label2);
    panel->BtnFont->setText(QStringLiteral("Tahoma, 8, Bold"));
    window->registry().WriteString(QStringLiteral("FontStyle"), QStringLiteral("b"));
    QFont offered;
    panel->setFontDialog([&](QWidget*, const QFont& initial) {
        offered = initial;
        return std::nullopt;
    });

    QTest::mouseClick(panel->BtnFont, Qt::LeftButton);

    EXPECT_EQ(offered.family(), QStringLiteral("Tahoma"));
    EXPECT_TRUE(offered.bold());
    EXPECT_EQ(stored("Font"), QJsonValue(QStringLiteral("Tahoma")));
    EXPECT_EQ(stored("FontSize"), QJsonValue(8));
    EXPECT_EQ(stored("FontStyle"), QJsonValue(QStringLiteral("b")));
    EXPECT_EQ(panel->BtnFont->text(), QStringLiteral("Tahoma, 8, Bold"));
    EXPECT_TRUE(window->font().bold());
}

TEST_F(PreferencesPanelTest, UnreadValuesAreStoredOnlyOnceTheUserSetsThem)
{
    window->registry().WriteString(QStringLiteral("Ratio"), QStringLiteral("5"));
    window->registry().WriteString(QStringLiteral("FontSize"), QStringLiteral("9"));
    window->unread = {QStringLiteral("Ratio"), QStringLiteral("FontSize")};
    std::optional<QFont> chosen;
    panel->setFontDialog([&](QWidget*, const QFont&) { return chosen; });

    panel->BtnPrefClick();
    QTest::mouseClick(panel->BtnEditor, Qt::LeftButton);
    QTest::mouseClick(panel->BtnFont, Qt::LeftButton);
    EXPECT_EQ(stored("Editor"), QJsonValue(QStringLiteral("gedit")));
    EXPECT_EQ(stored("Ratio"), QJsonValue(QStringLiteral("5")));
    EXPECT_TRUE(stored("Font").isString());
    EXPECT_EQ(stored("FontSize"), QJsonValue(QStringLiteral("9")));

    panel->BtnPrefClick();
    panel->Track->setFocus();
    QTest::keyClick(panel->Track, Qt::Key_Right);
    QTest::mouseClick(panel->BtnEditor, Qt::LeftButton);
    EXPECT_EQ(stored("Ratio"), QJsonValue(panel->Track->value()));
    // A size chosen in the dialog is kept readable too.
    chosen = QFont(QStringLiteral("DejaVu Sans"), 72);
    QTest::mouseClick(panel->BtnFont, Qt::LeftButton);
    EXPECT_EQ(stored("FontSize"), QJsonValue(MaxFontSize));
    EXPECT_EQ(panel->BtnFont->text(), QStringLiteral("DejaVu Sans, %1, Normal").arg(MaxFontSize));
    EXPECT_TRUE(window->unread.isEmpty());
}

TEST_F(PreferencesPanelTest, RealFontDialogOffersNoEffectsAndReturnsTheChoice)
{
    ApplyInterfaceFont(window.get(), QFont(QStringLiteral("DejaVu Sans"), 10), window->Label2);
    bool effectsShown = true;
    QString startFamily;
    QFont startStyle;
    whenDialogOpens<QFontDialog>([&](QFontDialog* dialog) {
        effectsShown = false;
        for (const QCheckBox* box : dialog->findChildren<QCheckBox*>())
            effectsShown = effectsShown || box->isVisible();
        startFamily = dialog->currentFont().family();
        startStyle = dialog->currentFont();
        QFont bold(QStringLiteral("DejaVu Sans"), 12);
        bold.setBold(true);
        dialog->setCurrentFont(bold);
        dialog->accept();
    });

    panel->BtnFontClick();

    EXPECT_FALSE(effectsShown);
    EXPECT_EQ(startFamily, QStringLiteral("DejaVu Sans"));
    // It starts on the regular style, not on whichever style the family lists first.
    EXPECT_FALSE(startStyle.italic());
    EXPECT_FALSE(startStyle.bold());
    EXPECT_TRUE(window->font().bold());
    EXPECT_EQ(stored("FontStyle"), QJsonValue(QStringLiteral("b")));
    EXPECT_EQ(stored("FontSize"), QJsonValue(12));
    EXPECT_EQ(panel->BtnFont->text(), QStringLiteral("DejaVu Sans, 12, Bold"));
}

TEST_F(PreferencesPanelTest, PreferencesAgainResetsOnlyTheTypedEditor)
{
    panel->BtnPrefClick();
    ASSERT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->EdtEditor->text(), QStringLiteral("gedit"));

    panel->EdtEditor->selectAll();
    QTest::keyClicks(panel->EdtEditor, QStringLiteral("/opt/editor"));
    panel->ComboDbl->setCurrentIndex(2);
    panel->BtnPrefClick();

    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->EdtEditor->text(), QStringLiteral("gedit"));
    EXPECT_EQ(panel->ComboDbl->currentIndex(), 2);
    EXPECT_EQ(window->EditorPath, QStringLiteral("gedit"));
    EXPECT_EQ(stored("Editor"), QJsonValue(QJsonValue::Undefined));
}

TEST_F(PreferencesPanelTest, EnterInTheEditorBoxIsContinue)
{
    panel->selectDefaultAction(0);
    window->menus->MarkDefaultItem(0);
    panel->setTrackPosition(2);
    panel->BtnPrefClick();
    panel->EdtEditor->setFocus();
    panel->EdtEditor->clear();
    QTest::keyClicks(panel->EdtEditor, QStringLiteral("/usr/bin/my editor"));
    panel->ComboDbl->setCurrentIndex(2);

    QTest::keyClick(panel->EdtEditor, Qt::Key_Return);

    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(panel->EdtEditor->text(), QStringLiteral("/usr/bin/my editor"));
    EXPECT_EQ(window->EditorPath, QStringLiteral("/usr/bin/my editor"));
    EXPECT_EQ(window->DefaultAction, 2);
    EXPECT_EQ(stored("Editor"), QJsonValue(QStringLiteral("/usr/bin/my editor")));
    EXPECT_EQ(stored("Default"), QJsonValue(2));
    EXPECT_EQ(stored("Ratio"), QJsonValue(2));
    EXPECT_EQ(window->events, (QStringList{"mark 2", "update /usr/bin/my editor"}));
    EXPECT_EQ(window->menus->TBPopupMenu1->defaultAction(), window->menus->TBItem1);

    // Other keys are typed; the keypad's Enter is Continue too.
    panel->BtnPrefClick();
    panel->EdtEditor->setFocus();
    panel->EdtEditor->clear();
    QTest::keyClicks(panel->EdtEditor, QStringLiteral("vi"));
    panel->selectDefaultAction(7);
    QTest::keyClick(panel->EdtEditor, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(stored("Editor"), QJsonValue(QStringLiteral("vi")));
    // No choice in the list is stored as -1 and marks no item.
    EXPECT_EQ(stored("Default"), QJsonValue(-1));
    EXPECT_EQ(window->menus->TBPopupMenu1->defaultAction(), nullptr);
}

TEST_F(PreferencesPanelTest, FailedStoreLeavesThePanelOpenWithTheMenuMatchingTheValues)
{
    panel->BtnPrefClick();
    panel->EdtEditor->setText(QStringLiteral("kate"));
    panel->ComboDbl->setCurrentIndex(1);
    window->registry().CloseKey();

    try {
        panel->BtnEditorClick();
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Editor'");
    }
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(window->EditorPath, QStringLiteral("kate"));
    EXPECT_EQ(window->menus->TBPopupMenu1->defaultAction(), window->menus->TBItem2);
}

TEST_F(PreferencesPanelTest, BrowseListsExecutablesFirstAndTakesTheChosenPath)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString program = folder.filePath(QStringLiteral("my editor"));
    const QString text = folder.filePath(QStringLiteral("notes.txt"));
    for (const QString& path : {program, text}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
    }
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const auto shownNames = [](QFileDialog* dialog) {
        QStringList names;
        const QListView* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        if (!view || !view->model())
            return names;
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            names.append(view->model()->index(row, 0, root).data().toString());
        return names;
    };

    QStringList firstFilter;
    QStringList allFiles;
    QStringList filters;
    whenDialogOpens<QFileDialog>([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        dialog->setDirectory(folder.path());
        EXPECT_TRUE(QTest::qWaitFor([&] { return shownNames(dialog).contains(QStringLiteral("my editor")); }));
        firstFilter = shownNames(dialog);
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        EXPECT_NE(types, nullptr);
        if (types) {
            types->setFocus();
            QTest::keyClick(types, Qt::Key_Down);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return shownNames(dialog).contains(QStringLiteral("notes.txt")); }));
        allFiles = shownNames(dialog);
        dialog->selectFile(program);
        // QFileDialog hides accept(); it runs through QDialog's.
        static_cast<QDialog*>(dialog)->accept();
    });
    panel->EdtEditor->setText(QStringLiteral("gedit"));
    QTest::mouseClick(panel->Button4, Qt::LeftButton);

    EXPECT_EQ(filters, (QStringList{"Executables (*)", "All Files (*)"}));
    EXPECT_TRUE(firstFilter.contains(QStringLiteral("my editor")));
    EXPECT_FALSE(firstFilter.contains(QStringLiteral("notes.txt")));
    EXPECT_TRUE(allFiles.contains(QStringLiteral("notes.txt")));
    EXPECT_EQ(panel->EdtEditor->text(), program);
    EXPECT_EQ(window->EditorPath, QStringLiteral("gedit"));

    whenDialogOpens<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QTest::mouseClick(panel->Button4, Qt::LeftButton);
    EXPECT_EQ(panel->EdtEditor->text(), program);
}

TEST_F(PreferencesPanelTest, PanelKeepsItsSizeAndItsCentresRelativePlace)
{
    EXPECT_EQ(panel->geometry(), PreferencesPanel::DesignRect);
    const auto relativeCentre = [](QRectF rect, QSizeF size) {
        return QPointF(rect.center().x() / size.width(), rect.center().y() / size.height());
    };
    const QPointF designCentre
        = relativeCentre(PreferencesPanel::DesignRect, QSizeF(PreferencesPanel::DesignParentSize));

    for (const QSize size : {QSize(900, 700), QSize(500, 300)}) {
        window->resize(size);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->size() == size; }));
        EXPECT_EQ(panel->size(), PreferencesPanel::DesignRect.size());
        const QPointF centre = relativeCentre(panel->geometry(), QSizeF(size));
        EXPECT_NEAR(centre.x(), designCentre.x(), 1.0 / size.width());
        EXPECT_NEAR(centre.y(), designCentre.y(), 1.0 / size.height());
    }
}

} // namespace
