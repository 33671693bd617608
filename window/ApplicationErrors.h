#ifndef QUILLMARK_WINDOW_APPLICATIONERRORS_H
#define QUILLMARK_WINDOW_APPLICATIONERRORS_H

#include <QApplication>
#include <QString>

#include <exception>

class QWidget;

/// The application's title: the title of its message boxes.
inline constexpr char ApplicationTitle[] = "Quillmark";

/// The text shown for an error raised by a handler: the message of a std::exception, a fixed text otherwise.
QString applicationErrorMessage(std::exception_ptr error);

/// The application's general error handling: shows the error in a message box titled with the application's
/// title, over parent. UI thread only.
void showApplicationError(QWidget* parent, std::exception_ptr error);

/// Runs handler; whatever it raises is shown by showApplicationError and goes no further, so no exception ever
/// crosses the event loop.
template <typename Handler> void runGuarded(QWidget* parent, Handler&& handler) noexcept
{
    try {
        handler();
    } catch (...) {
        showApplicationError(parent, std::current_exception());
    }
}

/// The application object: an error that a handler lets through into an event delivery is shown instead of
/// ending the program.
class TApplication : public QApplication
{
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    /// Ends the program as Close does, from whatever loop runs: every open dialog is cancelled, every running event
    /// loop is left (a dialog's nested one too) and any started later returns at once; the window's owner then
    /// destroys it, which saves the settings. UI thread only.
    void endAsClose();
    /// Whether endAsClose was called; asked before the main loop started, the loop must not be started.
    bool endRequested() const { return m_endRequested; }

private:
    bool m_endRequested = false;
};

#endif // QUILLMARK_WINDOW_APPLICATIONERRORS_H
