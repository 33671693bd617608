#include "window/ApplicationErrors.h"

#include "settings/Registry.h"

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
