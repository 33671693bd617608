#include "window/Main.h"

TFrmMain::TFrmMain(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Quillmark 1.0"));
    resize(760, 520);
}
