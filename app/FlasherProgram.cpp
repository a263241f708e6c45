#include "app/FlasherProgram.h"

#include "app/MainWindow.h"

#include <QApplication>

int runFlasher(QApplication& application)
{
    MainWindow window;
    window.show();
    return application.exec();
}
