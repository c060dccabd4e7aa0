// help.exe: the help program that the reader's help button starts.
#include "helpwindow.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    velmora::help::HelpWindow window;
    window.show();
    return app.exec();
}
