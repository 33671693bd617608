#include "window/E2EScript.h"

#include "catalog/CatalogEngine.h"
#include "shell/ShellTreeView.h"
#include "window/Main.h"
#include "window/OutputMemo.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <optional>

namespace {

/// How often a wait looks again.
constexpr int PollMilliseconds = 50;
/// Painting and the X server catch up with the last change before a screenshot.
constexpr int SettleMilliseconds = 500;

/// The first word of text and what follows it, blanks between them dropped.
std::pair<QString, QString> splitWord(const QString& text)
{
    const QString trimmed = text.trimmed();
    const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return {trimmed, QString()};
    return {trimmed.left(blank), trimmed.mid(blank + 1).trimmed()};
}

/// The key code a printable character's key press carries.
int keyOfCharacter(QChar character)
{
    const QChar upper = character.toUpper();
    return upper.unicode() < 0x80 ? int{upper.unicode()} : int{Qt::Key_unknown};
}

/// What a widget shows as its text; none for a kind of widget that shows none.
std::optional<QString> shownText(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* slider = qobject_cast<const QAbstractSlider*>(widget))
        return QString::number(slider->value());
    return std::nullopt;
}

} // namespace

std::unique_ptr<E2EScript> E2EScript::fromEnvironment(TFrmMain& window)
{
    const QString path = qEnvironmentVariable(ScriptVariable);
    if (path.isEmpty())
        return nullptr;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "E2E: cannot read the script %s\n", qPrintable(path));
        return nullptr;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QStringList commands;
    for (const QString& line : lines) {
        if (!line.trimmed().isEmpty() && !line.trimmed().startsWith(QLatin1Char('#')))
            commands.append(line.trimmed());
    }
    bool ok = false;
    int timeout = qEnvironmentVariableIntValue("QUILLMARK_E2E_TIMEOUT", &ok);
    return std::make_unique<E2EScript>(window, commands, ok && timeout > 0 ? timeout : 60);
}

E2EScript::E2EScript(TFrmMain& window, QStringList commands, int timeoutSeconds)
    : m_window(&window)
    , m_commands(std::move(commands))
    , m_timeoutSeconds(timeoutSeconds)
{ }

void E2EScript::start()
{
    QTimer::singleShot(0, this, &E2EScript::step);
}

void E2EScript::step()
{
    if (!m_window || m_next >= m_commands.size())
        return;
    const QString& line = m_commands.at(m_next);
    if (!m_waiting) {
        std::fprintf(stderr, "E2E: %s\n", qPrintable(line));
        m_deadline = QDeadlineTimer(std::chrono::seconds(m_timeoutSeconds));
    }
    const auto [command, rest] = splitWord(line);
    if (!run(command, rest)) {
        if (m_deadline.hasExpired()) {
            fail(QStringLiteral("timed out: %1").arg(line));
            return;
        }
        m_waiting = true;
        QTimer::singleShot(PollMilliseconds, this, &E2EScript::step);
        return;
    }
    m_waiting = false;
    ++m_next;
    QTimer::singleShot(0, this, &E2EScript::step);
}

bool E2EScript::run(const QString& command, const QString& rest)
{
    TFrmMain& window = *m_window;

    if (command == QLatin1String("type") || command == QLatin1String("key")) {
        const auto [name, argument] = splitWord(rest);
        QWidget* target = widget(name);
        if (!target)
            return true;
        focusWidget(target);
        if (command == QLatin1String("type")) {
            for (const QChar character : argument)
                sendKey(keyOfCharacter(character), Qt::NoModifier, QString(character));
            return true;
        }
        if (argument == QLatin1String("Return"))
            sendKey(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        else if (argument == QLatin1String("Enter"))
            sendKey(Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r"));
        else if (argument == QLatin1String("Escape"))
            sendKey(Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
        else if (argument == QLatin1String("Tab"))
            sendKey(Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
        else if (argument == QLatin1String("Left"))
            sendKey(Qt::Key_Left, Qt::NoModifier, QString());
        else if (argument == QLatin1String("Right"))
            sendKey(Qt::Key_Right, Qt::NoModifier, QString());
        else if (argument == QLatin1String("Home"))
            sendKey(Qt::Key_Home, Qt::NoModifier, QString());
        else if (argument == QLatin1String("End"))
            sendKey(Qt::Key_End, Qt::NoModifier, QString());
        else if (argument.size() == 6 && argument.startsWith(QLatin1String("Ctrl+")) && argument.at(5).isLetter())
            sendKey(keyOfCharacter(argument.at(5)), Qt::ControlModifier,
                    QString(QChar(argument.at(5).toUpper().unicode() - 'A' + 1)));
        else
            fail(QStringLiteral("unknown key: %1").arg(argument));
        return true;
    }
    if (command == QLatin1String("click")) {
        if (QWidget* target = widget(rest))
            click(target, target->rect().center());
        return true;
    }
    if (command == QLatin1String("click-tab")) {
        const auto [name, index] = splitWord(rest);
        auto* tabs = qobject_cast<QTabWidget*>(widget(name));
        if (!tabs) {
            fail(QStringLiteral("not a tab widget: %1").arg(name));
            return true;
        }
        QTabBar* bar = tabs->tabBar();
        click(bar, bar->tabRect(index.toInt()).center());
        return true;
    }
    if (command == QLatin1String("dblclick-tree"))
        return doubleClickTreeNode(rest);
    if (command == QLatin1String("expect-text")) {
        const auto [name, expected] = splitWord(rest);
        if (QWidget* target = widget(name)) {
            const std::optional<QString> text = shownText(target);
            if (!text)
                fail(QStringLiteral("%1 shows no text").arg(name));
            else if (*text != expected)
                fail(QStringLiteral("%1 shows \"%2\", not \"%3\"").arg(name, *text, expected));
        }
        return true;
    }
    if (command == QLatin1String("expect-rows")) {
        const int rows = window.Engine().Rows().count();
        if (QString::number(rows) != rest)
            fail(QStringLiteral("the list has %1 rows, not %2").arg(rows).arg(rest));
        return true;
    }
    if (command == QLatin1String("wait-memo"))
        return window.Output->toPlainText().contains(rest);
    if (command == QLatin1String("wait-queue"))
        return window.Engine().Rows().count() > 0 && !window.Engine().isBusy() && !window.PnlProg->isVisible();
    if (command == QLatin1String("screenshot")) {
        // Painting reaches the screen a little after the last change.
        if (!m_settling) {
            m_settling = true;
            m_settle = QDeadlineTimer(SettleMilliseconds);
        }
        if (!m_settle.hasExpired())
            return false;
        m_settling = false;
        QPixmap shot;
        if (QScreen* screen = window.screen())
            shot = screen->grabWindow(window.winId());
        if (shot.isNull())
            shot = window.grab();
        if (!shot.save(rest))
            fail(QStringLiteral("cannot save the screenshot %1").arg(rest));
        return true;
    }
    if (command == QLatin1String("dump-memo")) {
        QFile file(rest);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)
            || file.write(window.Output->toPlainText().toUtf8() + '\n') < 0)
            fail(QStringLiteral("cannot write %1").arg(rest));
        return true;
    }
    if (command == QLatin1String("close")) {
        window.close();
        return true;
    }
    fail(QStringLiteral("unknown command: %1").arg(command));
    return true;
}

QWidget* E2EScript::widget(const QString& name)
{
    auto* found = m_window->findChild<QWidget*>(name);
    if (!found)
        fail(QStringLiteral("no widget named %1").arg(name));
    return found;
}

void E2EScript::focusWidget(QWidget* target)
{
    m_window->activateWindow();
    target->setFocus(Qt::OtherFocusReason);
}

void E2EScript::sendKey(int key, Qt::KeyboardModifiers modifiers, const QString& text)
{
    // Where a key typed now would go: the focused widget of the active window, or of this window while the
    // window system has not made it active yet.
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : m_window->focusWidget();
    if (!target) {
        fail(QStringLiteral("no widget has the focus"));
        return;
    }
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(target, &release);
}

void E2EScript::click(QWidget* target, QPoint position)
{
    const QPointF local(position);
    const QPointF global(target->mapToGlobal(position));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}

void E2EScript::doubleClick(QWidget* target, QPoint position)
{
    // What the window system delivers for a double click: the second press comes as the double-click event.
    click(target, position);
    const QPointF local(position);
    const QPointF global(target->mapToGlobal(position));
    QMouseEvent press(QEvent::MouseButtonDblClick, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}

bool E2EScript::doubleClickTreeNode(const QString& folder)
{
    TShellTreeView* tree = m_window->ShellTree();
    const QString clean = QDir::cleanPath(folder);
    const QModelIndex node = tree ? tree->nodeOf(clean) : QModelIndex();
    if (!tree || !tree->isVisible() || !node.isValid() || !tree->isLoaded(QFileInfo(clean).path())) {
        m_settling = false;
        return false;
    }
    // The rows move while the folders above are sorted and laid out; they stay put once loaded for a moment.
    if (!m_settling) {
        m_settling = true;
        m_settle = QDeadlineTimer(SettleMilliseconds);
    }
    if (!m_settle.hasExpired())
        return false;
    m_settling = false;
    tree->scrollTo(node);
    const QRect row = tree->visualRect(node);
    if (!row.isValid())
        return false;
    doubleClick(tree->viewport(), {row.left() + 8, row.center().y()});
    return true;
}

void E2EScript::fail(const QString& message)
{
    std::fprintf(stderr, "E2E failed: %s\n", qPrintable(message));
    m_next = static_cast<int>(m_commands.size());
    QCoreApplication::exit(FailureExitCode);
}
