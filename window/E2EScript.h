#ifndef QUILLMARK_WINDOW_E2ESCRIPT_H
#define QUILLMARK_WINDOW_E2ESCRIPT_H

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class QWidget;
class TFrmMain;

/// Test support only, for the end-to-end test: when the environment variable QUILLMARK_E2E_SCRIPT names a file,
/// the program works through its commands against its own window once the event loop runs, sending real key and
/// mouse events to the real widgets. Without that variable nothing of this exists.
///
/// Commands, one a line (blank lines and lines starting with "#" are skipped; <widget> is an object name):
///   type <widget> <text>     focus the widget, then one key press and release per character of text
///   key <widget> <key>       focus the widget, then press and release a key: Return, Enter, Escape, Tab,
///                            Left, Right, Home, End, or a letter with "Ctrl+" before it
///   click <widget>           left mouse button pressed and released at the widget's centre
///   click-tab <widget> <n>   the same on tab n of a tab widget
///   dblclick-tree <folder>   once the folder tree shows the folder's node, double-click it with the left button
///   expect-text <widget> <text>  the widget shows exactly text: a label's, edit box's, button's or combo box's
///                            text, a slider's position in decimal
///   expect-rows <n>          the catalog list has n rows
///   wait-memo <text>         wait until the single-file memo holds text
///   wait-queue               wait until the catalog has rows and no check is left to run
///   screenshot <path>        grab the window as the screen shows it into an image file
///   dump-memo <path>         write the single-file memo's text into a file
///   close                    close the window
/// A wait gives up after QUILLMARK_E2E_TIMEOUT seconds (60 unless set). A command that fails ends the program
/// with exit code 3 and a message on the error output.
class E2EScript : public QObject
{
    Q_OBJECT

public:
    static constexpr char ScriptVariable[] = "QUILLMARK_E2E_SCRIPT";
    static constexpr int FailureExitCode = 3;

    /// The script the environment names, or none.
    static std::unique_ptr<E2EScript> fromEnvironment(TFrmMain& window);

    E2EScript(TFrmMain& window, QStringList commands, int timeoutSeconds);

    /// Starts with the first command once the event loop runs.
    void start();

private:
    void step();
    /// Runs one command; false while it waits and wants to be asked again.
    bool run(const QString& command, const QString& rest);
    QWidget* widget(const QString& name);
    void focusWidget(QWidget* target);
    void sendKey(int key, Qt::KeyboardModifiers modifiers, const QString& text);
    void click(QWidget* target, QPoint position);
    void doubleClick(QWidget* target, QPoint position);
    /// Runs dblclick-tree; false while the node is not there yet or its row may still move.
    bool doubleClickTreeNode(const QString& folder);
    void fail(const QString& message);

    QPointer<TFrmMain> m_window;
    QStringList m_commands;
    int m_next = 0;
    int m_timeoutSeconds;
    QDeadlineTimer m_deadline;
    bool m_waiting = false;
    bool m_settling = false;
    QDeadlineTimer m_settle;
};

#endif // QUILLMARK_WINDOW_E2ESCRIPT_H
