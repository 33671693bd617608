#ifndef QUILLMARK_WINDOW_MAIN_H
#define QUILLMARK_WINDOW_MAIN_H

#include <QMainWindow>

/// The main window. It exists from start to end and owns everything else.
class TFrmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TFrmMain(QWidget* parent = nullptr);
};

#endif // QUILLMARK_WINDOW_MAIN_H
