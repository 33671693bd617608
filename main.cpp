#include "window/Main.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    TFrmMain window;
    window.show();
    return QApplication::exec();
}
