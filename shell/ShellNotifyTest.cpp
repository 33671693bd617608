#include "shell/ShellNotify.h"

#include "shell/KnownFolders.h"
#include "shell/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include <sys/stat.h>

namespace {

struct HandlerFailed : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

/// Assigns every handler slot of a watcher and writes down each call as one line of text.
struct CallRecorder
{
    QStringList calls;

    static QString text(PShellItem item) { return item ? shellItemPath(item) : QStringLiteral("-"); }
    static QString flag(bool isInterrupt) { return isInterrupt ? QStringLiteral("i") : QStringLiteral("n"); }

    void attach(TShellNotify& notify)
    {
        auto generic = [this](const char* slot) {
            return [this, slot](TShellNotify*, TShellNotifyEventType kind, PShellItem a, PShellItem b, bool i) {
                calls << QStringLiteral("%1 %2 %3 %4 %5").arg(slot).arg(int(kind)).arg(text(a), text(b), flag(i));
            };
        };
        auto general = [this](const char* slot) {
            return [this, slot](TShellNotify*, PShellItem item, const QString& path, bool i) {
                EXPECT_EQ(path, shellItemPath(item));
                calls << QStringLiteral("%1 %2 %3").arg(slot, path, flag(i));
            };
        };
        auto rename = [this](const char* slot) {
            return
                [this, slot](TShellNotify*, PShellItem, const QString& oldPath, PShellItem, const QString& newPath,
                             bool i) { calls << QStringLiteral("%1 %2 %3 %4").arg(slot, oldPath, newPath, flag(i)); };
        };
        notify.OnAnyEvent = generic("Any");
        notify.OnDiskEvent = generic("Disk");
        notify.OnGlobalEvent = generic("Global");
        notify.OnAssociationChanged = [this](TShellNotify*, bool i) { calls << "AssociationChanged " + flag(i); };
        notify.OnImageUpdated = [this](TShellNotify*, qint32 index, bool i) {
            calls << QStringLiteral("ImageUpdated %1 %2").arg(index).arg(flag(i));
        };
        notify.OnItemRenamed = rename("ItemRenamed");
        notify.OnFolderRenamed = rename("FolderRenamed");
        notify.OnAttributesChanged = general("AttributesChanged");
        notify.OnDriveAdded = general("DriveAdded");
        notify.OnDriveRemoved = general("DriveRemoved");
        notify.OnFolderCreated = general("FolderCreated");
        notify.OnFolderDeleted = general("FolderDeleted");
        notify.OnFolderUpdated = general("FolderUpdated");
        notify.OnFreespaceChanged = general("FreespaceChanged");
        notify.OnItemCreated = general("ItemCreated");
        notify.OnItemDeleted = general("ItemDeleted");
        notify.OnItemUpdated = general("ItemUpdated");
        notify.OnMediaInserted = general("MediaInserted");
        notify.OnMediaRemoved = general("MediaRemoved");
        notify.OnNetworkDriveAdded = general("NetworkDriveAdded");
        notify.OnResourceShared = general("ResourceShared");
        notify.OnResourceUnshared = general("ResourceUnshared");
        notify.OnServerDisconnected = general("ServerDisconnected");
    }
};

/// Sets an environment variable for the life of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

TEST(ShellNotifyModel, EventMasksFollowTheirKindsAndSetsHoldBitPerOrdinal)
{
    quint32 ownBits = 0;
    for (int ordinal = snAssociationChanged; ordinal <= snServerDisconnected; ++ordinal) {
        const quint32 mask = shellNotifyEventMask(TShellNotifyEventType(ordinal));
        EXPECT_EQ(mask & (mask - 1), 0u) << "kind " << ordinal << " owns more than one bit";
        EXPECT_EQ(ownBits & mask, 0u) << "kind " << ordinal << " shares its bit";
        ownBits |= mask;
    }
    auto unionOf = [](std::initializer_list<TShellNotifyEventType> kinds) {
        return shellNotifyEventMask(TShellNotifyEventTypes(kinds));
    };
    EXPECT_EQ(shellNotifyEventMask(snDiskEvent),
              unionOf({snAttributesChanged, snItemCreated, snItemDeleted, snItemUpdated, snItemRenamed, snFolderCreated,
                       snFolderDeleted, snFolderRenamed, snFolderUpdated}));
    EXPECT_EQ(shellNotifyEventMask(snGlobalEvent),
              unionOf({snAssociationChanged, snDriveAdded, snDriveRemoved, snFreespaceChanged, snImageUpdated,
                       snMediaInserted, snMediaRemoved, snNetworkDriveAdded})
                  | ShellNotifyExtendedEvent);
    EXPECT_EQ(shellNotifyEventMask(TShellNotifyEventTypes{snItemUpdated}), 0x2000u);
    EXPECT_EQ(shellNotifyEventMask(TShellNotifyEventTypes{snAnyEvent}), 0x7FFFFFFFu);
    EXPECT_EQ(shellNotifyEventMask(TShellNotifyEventTypes{}), 0u);
    EXPECT_EQ(shellNotifyEventMask(TShellNotifyEventTypes{snItemCreated, snFolderCreated}), 0xAu);

    EXPECT_EQ(TShellNotifyEventTypes({snItemUpdated, snServerDisconnected}).bits(), (1u << 9) | (1u << 22));
    EXPECT_EQ(TShellNotifyEventTypes::fromBits(0xFFFFFFFF).bits(), 0x7FFFFFu);
    EXPECT_EQ(TShellInterruptOptions({ioAcceptInterrupts, ioAcceptNonInterrupts}).bits(), 3u);
}

TEST(ShellNotifyModel, ConstructedDisabledWithTheDefaults)
{
    TShellNotify notify(nullptr);
    EXPECT_FALSE(notify.Enabled());
    EXPECT_TRUE(notify.WatchChildren());
    EXPECT_EQ(notify.HandledEvents(), TShellNotifyEventTypes{snAnyEvent});
    EXPECT_EQ(notify.InterruptOptions(), TShellInterruptOptions({ioAcceptInterrupts, ioAcceptNonInterrupts}));
    EXPECT_EQ(notify.RootFolder(), "sfDesktop");
    EXPECT_EQ(notify.RootItem().ParsingName, resolveSpecialFolder(QStringLiteral("sfDesktop")));
    EXPECT_EQ(notify.Registration().Id, 0u);
    ASSERT_GE(notify.NotifyDescriptor(), 0);
    EXPECT_TRUE(watchedInodes(notify.NotifyDescriptor()).isEmpty());
}

class ShellNotifyRegistration : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Po")));
        folder = dir.path() + QStringLiteral("/Po");
    }

    QList<quint64> watched() const { return watchedInodes(notify.NotifyDescriptor()); }

    QTemporaryDir dir;
    QString folder;
    TShellNotify notify{nullptr};
};

TEST_F(ShellNotifyRegistration, ProgramSettingsRegisterTheFolderWithItsFlagsAndMask)
{
    notify.setHandledEvents({snItemUpdated});
    notify.setWatchChildren(false);
    notify.setRootFolder(folder + u'/');
    notify.setEnabled(true);

    ASSERT_TRUE(notify.Enabled());
    EXPECT_NE(notify.Registration().Id, 0u);
    EXPECT_EQ(notify.Registration().SourceFlags, 0x8003u);
    EXPECT_EQ(notify.Registration().EventMask, 0x2000u);
    EXPECT_FALSE(notify.Registration().Recursive);
    EXPECT_EQ(notify.Registration().Root, folder);
    EXPECT_EQ(watched(), inodesWatchedFor(folder));

    const quint32 id = notify.Registration().Id;
    notify.setEnabled(true);
    EXPECT_EQ(notify.Registration().Id, id) << "enabling twice registers again";

    notify.setEnabled(false);
    EXPECT_FALSE(notify.Enabled());
    EXPECT_EQ(notify.Registration().Id, 0u);
    EXPECT_TRUE(watched().isEmpty());
}

TEST_F(ShellNotifyRegistration, InterruptOptionsGiveTheSourceFlagsAndDecideWhetherAnythingIsWatched)
{
    notify.setRootFolder(folder);
    notify.setEnabled(true);
    EXPECT_EQ(notify.Registration().SourceFlags, 0x8003u);
    EXPECT_EQ(notify.Registration().EventMask, 0x7FFFFFFFu);

    notify.setInterruptOptions({ioAcceptInterrupts});
    EXPECT_EQ(notify.Registration().SourceFlags, 0x8001u);
    EXPECT_EQ(watched(), inodesWatchedFor(folder));

    // Every change here comes from the file system: without interrupts there is nothing to watch.
    notify.setInterruptOptions({ioAcceptNonInterrupts});
    EXPECT_TRUE(notify.Enabled());
    EXPECT_EQ(notify.Registration().SourceFlags, 0x8002u);
    EXPECT_TRUE(watched().isEmpty());

    notify.setInterruptOptions({});
    EXPECT_TRUE(notify.Enabled());
    EXPECT_EQ(notify.Registration().SourceFlags, 0x8000u);
    EXPECT_TRUE(watched().isEmpty());
}

TEST_F(ShellNotifyRegistration, PropertyChangesReregisterWhileEnabledAndAreOnlyStoredWhileDisabled)
{
    notify.setRootFolder(folder);
    notify.setHandledEvents({snItemCreated});
    notify.setWatchChildren(false);
    EXPECT_EQ(notify.Registration().Id, 0u);
    EXPECT_TRUE(watched().isEmpty());

    notify.setEnabled(true);
    EXPECT_EQ(notify.Registration().EventMask, 0x2u);
    EXPECT_FALSE(notify.Registration().Recursive);

    quint32 id = notify.Registration().Id;
    notify.setHandledEvents({snItemCreated});
    notify.setWatchChildren(false);
    notify.setInterruptOptions({ioAcceptInterrupts, ioAcceptNonInterrupts});
    notify.setRootFolder(folder);
    EXPECT_EQ(notify.Registration().Id, id) << "an unchanged value registered again";

    notify.setHandledEvents({snItemUpdated, snItemDeleted});
    EXPECT_NE(notify.Registration().Id, id);
    EXPECT_EQ(notify.Registration().EventMask, 0x2004u);
    id = notify.Registration().Id;

    notify.setWatchChildren(true);
    EXPECT_NE(notify.Registration().Id, id);
    EXPECT_TRUE(notify.Registration().Recursive);
    id = notify.Registration().Id;

    const QString other = dir.path();
    notify.setRootFolder(other);
    EXPECT_NE(notify.Registration().Id, id);
    EXPECT_EQ(notify.Registration().Root, other);
    EXPECT_EQ(watched(), inodesWatchedFor(other, {folder})) << "one watch per folder of the tree";

    notify.setEnabled(false);
    notify.setRootFolder(folder);
    notify.setWatchChildren(false);
    EXPECT_EQ(notify.Registration().Id, 0u);
    EXPECT_TRUE(watched().isEmpty());
    notify.setEnabled(true);
    EXPECT_EQ(notify.Registration().Root, folder);
    EXPECT_EQ(watched(), inodesWatchedFor(folder));
}

TEST_F(ShellNotifyRegistration, RegistrationThatFailsLeavesItDisabledWithoutAnError)
{
    notify.setRootFolder(folder);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_NO_THROW(notify.setEnabled(true));
    EXPECT_FALSE(notify.Enabled());
    EXPECT_EQ(notify.Registration().Id, 0u);

    // A property change while enabled whose new registration fails ends disabled too.
    notify.setRootFolder(dir.path());
    notify.setEnabled(true);
    ASSERT_TRUE(notify.Enabled());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Po")));
    notify.setRootFolder(folder);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    notify.setHandledEvents({snItemUpdated});
    EXPECT_FALSE(notify.Enabled());
}

TEST_F(ShellNotifyRegistration, RootFolderThatCannotBeResolvedRaisesAndChangesNothing)
{
    notify.setRootFolder(folder);
    notify.setEnabled(true);
    const ShellRegistration before = notify.Registration();

    auto expectRejected = [&](const QString& value, const char* message) {
        try {
            notify.setRootFolder(value);
            ADD_FAILURE() << "accepted " << value.toStdString();
        } catch (const EInvalidPath& error) {
            EXPECT_STREQ(error.what(), message);
        }
        EXPECT_EQ(notify.RootFolder(), folder);
        EXPECT_EQ(notify.RootItem().ParsingName, folder);
        EXPECT_TRUE(notify.Enabled());
        EXPECT_EQ(notify.Registration().Id, before.Id);
        EXPECT_EQ(watched(), inodesWatchedFor(folder));
    };
    expectRejected(QString(), "Error setting path: \"\"");
    const QString missing = dir.path() + QStringLiteral("/missing");
    expectRejected(missing, qPrintable(QStringLiteral("Error setting path: \"%1\"").arg(missing)));
    expectRejected(QStringLiteral("C:"), "Error setting path: \"C:\"");
    expectRejected(QStringLiteral("sfPrinters"), "Error setting path: \"sfPrinters\"");
    expectRejected(QStringLiteral("SFCONTROLPANEL"), "Error setting path: \"SFCONTROLPANEL\"");
}

TEST_F(ShellNotifyRegistration, RootFolderComparesNamesIgnoringCasePathsExactlyAndAcceptsFiles)
{
    notify.setWatchChildren(false); // not the whole desktop
    // Right after construction the same name in other letters resolves nothing.
    const QString desktop = notify.RootItem().ParsingName;
    notify.setRootFolder(QStringLiteral("SFDESKTOP"));
    EXPECT_EQ(notify.RootFolder(), "sfDesktop");

    notify.setRootFolder(folder);
    notify.setEnabled(true);
    const quint32 id = notify.Registration().Id;
    // The same path again changes nothing.
    notify.setRootFolder(folder);
    EXPECT_EQ(notify.Registration().Id, id);
    // On this case-sensitive system the same text in other letters is another folder, and the watch moves.
    const QString other = folder.left(folder.lastIndexOf(QLatin1Char('/')) + 1)
        + folder.mid(folder.lastIndexOf(QLatin1Char('/')) + 1).toUpper();
    ASSERT_NE(other, folder);
    ASSERT_TRUE(QDir().mkpath(other));
    notify.setRootFolder(other);
    EXPECT_EQ(notify.RootFolder(), other);
    EXPECT_EQ(notify.RootItem().ParsingName, other);
    EXPECT_TRUE(notify.Enabled());
    EXPECT_NE(notify.Registration().Id, id);
    notify.setRootFolder(folder);

    QFile file(folder + QStringLiteral("/de.po"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    notify.setRootFolder(file.fileName());
    EXPECT_EQ(notify.RootItem().ParsingName, file.fileName());
    EXPECT_EQ(notify.Registration().Root, file.fileName());
    EXPECT_TRUE(notify.Enabled());

    notify.setRootFolder(QStringLiteral("SFDESKTOP"));
    EXPECT_EQ(notify.RootFolder(), "SFDESKTOP");
    EXPECT_EQ(notify.RootItem().ParsingName, desktop);
}

TEST(SpecialFolders, DesktopIsTheUsersDesktopFolderOrHome)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ScopedEnv setHome("HOME", QFile::encodeName(home.path()));
    ScopedEnv setConfig("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral(".config")));
    QFile dirs(home.path() + QStringLiteral("/.config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\nXDG_TEMPLATES_DIR=\"$HOME/Vorlagen\"\n");
    dirs.close();

    EXPECT_EQ(resolveSpecialFolder(QStringLiteral("sfDesktop")), home.path()) << "no desktop folder yet";
    EXPECT_EQ(resolveSpecialFolder(QStringLiteral("sfDesktopDirectory")), QString());
    EXPECT_EQ(resolveSpecialFolder(QStringLiteral("sfTemplates")), QString());

    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Schreibtisch")));
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Vorlagen")));
    const QString desktop = home.path() + QStringLiteral("/Schreibtisch");
    EXPECT_EQ(resolveSpecialFolder(QStringLiteral("sfdesktop")), desktop);
    EXPECT_EQ(resolveSpecialFolder(QStringLiteral("sfDesktopDirectory")), desktop);
    EXPECT_EQ(resolveSpecialFolder(QStringLiteral("sfTemplates")), home.path() + QStringLiteral("/Vorlagen"));

    TShellNotify notify(nullptr);
    EXPECT_EQ(notify.RootItem().ParsingName, desktop);

    // Only A to Z fold: the Kelvin sign is not a "k".
    EXPECT_TRUE(isSpecialFolderName(QStringLiteral("SFDESKTOP")));
    EXPECT_FALSE(isSpecialFolderName(QStringLiteral("sfDes\u212Atop")));
    EXPECT_EQ(specialFolderNames().size(), 30);
    for (const char* none : {"sfControlPanel", "sfPrinters", "sfNetworkNeighborhood", "sfCookies"})
        EXPECT_TRUE(resolveSpecialFolder(QString::fromLatin1(none)).isEmpty()) << none;
}

TEST(ShellItemPath, QuestionMarksGoOnlyBeforeADigitAndClassPathsShowTheirName)
{
    auto pathOf = [](const QString& parsing, const QString& display = QString()) {
        ShellItem item;
        item.ParsingName = parsing;
        item.DisplayName = display;
        return shellItemPath(&item);
    };
    EXPECT_EQ(pathOf(QStringLiteral("?1/tmp/a?b")), "1/tmp/ab");
    EXPECT_EQ(pathOf(QStringLiteral("?9")), "9");
    EXPECT_EQ(pathOf(QStringLiteral("?a?b")), "?a?b");
    EXPECT_EQ(pathOf(QStringLiteral("?")), "?");
    EXPECT_EQ(pathOf(QStringLiteral("a?1")), "a?1");
    EXPECT_EQ(pathOf(QStringLiteral("::{645FF040-5081-101B}"), QStringLiteral("?2Bin?")), "2Bin");
    EXPECT_EQ(pathOf(QStringLiteral("?0::{645FF040}"), QStringLiteral("Trash")), "0::{645FF040}");
    EXPECT_EQ(shellItemPath(nullptr), QString());
    EXPECT_EQ(ShellItem::fromPath(QStringLiteral("/tmp/po/de.po")).DisplayName, "de.po");
}

class ShellNotifyDispatch : public ::testing::Test
{
protected:
    void SetUp() override { recorder.attach(notify); }

    TShellNotify notify{nullptr};
    CallRecorder recorder;
    ShellItem first = ShellItem::fromPath(QStringLiteral("/po/de.po"));
    ShellItem second = ShellItem::fromPath(QStringLiteral("/po/fr.po"));
};

TEST_F(ShellNotifyDispatch, KindsGoInAscendingOrderEachThroughAnyGlobalDiskThenItsOwnHandler)
{
    notify.Dispatch(0x2002, &first, nullptr);
    EXPECT_EQ(recorder.calls,
              (QStringList{"Any 7 /po/de.po - n", "Disk 7 /po/de.po - n", "ItemCreated /po/de.po n",
                           "Any 9 /po/de.po - n", "Disk 9 /po/de.po - n", "ItemUpdated /po/de.po n"}));

    recorder.calls.clear();
    notify.Dispatch(ShellNotifyInterrupt | 0x8000000, nullptr, nullptr);
    EXPECT_EQ(recorder.calls, (QStringList{"Any 3 - - i", "Global 3 - - i", "AssociationChanged i"}));

    // Not a kind of either union: only Any and its own handler.
    recorder.calls.clear();
    notify.Dispatch(0x4000, &first, nullptr);
    EXPECT_EQ(recorder.calls, (QStringList{"Any 22 /po/de.po - n", "ServerDisconnected /po/de.po n"}));
}

TEST_F(ShellNotifyDispatch, InterruptBitReachesEveryHandlerAndAWordWithoutKindCallsNothing)
{
    notify.Dispatch(ShellNotifyInterrupt | 0x7FFFFFFF, &first, &second);
    EXPECT_EQ(recorder.calls.size(), 20 + 8 + 9 + 20) << recorder.calls.join(u'\n').toStdString();
    for (const QString& call : std::as_const(recorder.calls))
        EXPECT_TRUE(call.endsWith(QLatin1String(" i"))) << call.toStdString();

    recorder.calls.clear();
    notify.Dispatch(0x7FFFFFFF, &first, &second);
    for (const QString& call : std::as_const(recorder.calls))
        EXPECT_TRUE(call.endsWith(QLatin1String(" n"))) << call.toStdString();

    recorder.calls.clear();
    notify.Dispatch(ShellNotifyExtendedEvent, &first, nullptr);
    notify.Dispatch(ShellNotifyInterrupt | ShellNotifyExtendedEvent, &first, nullptr);
    notify.Dispatch(0, &first, nullptr);
    EXPECT_TRUE(recorder.calls.isEmpty()) << recorder.calls.join(u'\n').toStdString();
}

TEST_F(ShellNotifyDispatch, RenamesPassOldItemFirstAndImageUpdatesTheirIndex)
{
    notify.Dispatch(0x1, &first, &second);
    EXPECT_EQ(recorder.calls,
              (QStringList{"Any 10 /po/de.po /po/fr.po n", "Disk 10 /po/de.po /po/fr.po n",
                           "ItemRenamed /po/de.po /po/fr.po n"}));

    recorder.calls.clear();
    const ShellItem image = ShellItem::fromIndex(-7);
    notify.Dispatch(0x20000 | 0x8000, &image, nullptr);
    ASSERT_EQ(recorder.calls.size(), 6);
    EXPECT_EQ(recorder.calls.at(2), "FolderRenamed   n") << "an item without a path has an empty one";
    EXPECT_EQ(recorder.calls.at(5), "ImageUpdated -7 n");

    // Without the four bytes of an index: every image.
    recorder.calls.clear();
    notify.OnAnyEvent = nullptr;
    notify.OnGlobalEvent = nullptr;
    notify.Dispatch(0x8000, &first, nullptr);
    notify.Dispatch(0x8000, nullptr, nullptr);
    EXPECT_EQ(recorder.calls, (QStringList{"ImageUpdated -1 n", "ImageUpdated -1 n"}));

    recorder.calls.clear();
    notify.Dispatch(0x40000, &first, nullptr);
    EXPECT_EQ(recorder.calls, QStringList{"FreespaceChanged /po/de.po n"});
}

TEST_F(ShellNotifyDispatch, HandlerErrorEndsTheNotificationAndPropagates)
{
    notify.OnDiskEvent = [this](TShellNotify*, TShellNotifyEventType kind, PShellItem, PShellItem, bool) {
        recorder.calls << QStringLiteral("Disk %1").arg(int(kind));
        if (kind == snItemUpdated)
            throw HandlerFailed("cannot re-check");
    };
    EXPECT_THROW(notify.Dispatch(0x2002 | 0x8, &first, nullptr), HandlerFailed);
    EXPECT_EQ(
        recorder.calls,
        (QStringList{"Any 7 /po/de.po - n", "Disk 7", "ItemCreated /po/de.po n", "Any 9 /po/de.po - n", "Disk 9"}));

    // The watcher still works afterwards.
    recorder.calls.clear();
    notify.Dispatch(0x8, &first, nullptr);
    EXPECT_EQ(recorder.calls.size(), 3);
}

TEST(ShellNotifyDispatchLifetime, HandlerMayReplaceItsSlotOrDestroyTheWatcher)
{
    auto* notify = new TShellNotify(nullptr);
    QStringList calls;
    notify->OnItemCreated = [&calls](TShellNotify* sender, PShellItem, const QString& path, bool) {
        // Drops the running closure itself, then its owner.
        sender->OnItemCreated = nullptr;
        calls << "created " + path;
        delete sender;
    };
    notify->OnItemUpdated
        = [&calls](TShellNotify*, PShellItem, const QString& path, bool) { calls << "updated " + path; };
    const ShellItem item = ShellItem::fromPath(QStringLiteral("/po/de.po"));
    notify->Dispatch(0x2002, &item, nullptr);
    EXPECT_EQ(calls, QStringList{"created /po/de.po"});
}

} // namespace
