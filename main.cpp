#include "window/Main.h"
#include "resources/Images.h"
#include "window/ApplicationErrors.h"
#include "window/E2EScript.h"

#include <QApplication>

#include <memory>

int main(int argc, char* argv[])
{
    TApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    QApplication::setWindowIcon(Images::windowIcon());

    TFrmMain window(QCoreApplication::arguments());
    // Only an end-to-end test sets this up.
    const std::unique_ptr<E2EScript> script = E2EScript::fromEnvironment(window);
    window.show();
    if (script)
        script->start();
    return QApplication::exec();
}
