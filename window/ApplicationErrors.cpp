#include "window/ApplicationErrors.h"

#include "settings/Registry.h"

#include <QDialog>
#include <QMessageBox>
#include <QWidget>

QString applicationErrorMessage(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const ERegistryException& e) {
        return e.FullText();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("An unexpected error occurred.");
    }
}

void showApplicationError(QWidget* parent, std::exception_ptr error)
{
    try {
        QMessageBox::critical(parent, QString::fromLatin1(ApplicationTitle), applicationErrorMessage(error));
    } catch (...) {
        // A handler that raises inside the box's own event loop was shown there; nothing is left to show.
    }
}

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{ }

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showApplicationError(activeWindow(), std::current_exception());
        return true;
    }
}

void TApplication::endAsClose()
{
    m_endRequested = true;
    // Each dialog's exec() returns as if the user had cancelled it, and none stays on screen during the save.
    for (QWidget* widget : topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            dialog->reject();
    // Leaves the nested loops as well as the main one; a message box opened on the way out returns at once.
    QCoreApplication::exit(0);
}
