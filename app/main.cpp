#include "app/FlasherProgram.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    return runFlasher(application);
}
