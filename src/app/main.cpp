// The reader: the loader form starts it, the main window runs it.
#include "controls/browserview.h"
#include "mainwindow/commands.h"
#include "mainwindow/mainform.h"
#include "startup/loaderform.h"
#include "startup/runtime.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    velmora::controls::BrowserView::prepareProcess();
    // The reader takes nothing from its command line: Qt sees the program name only.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora"));
    velmora::forms::registerForm(QString::fromLatin1(velmora::forms::LoaderForm::kMainFormName),
                                 []() -> velmora::forms::Form & { return *velmora::Form1; });
    velmora::mainwindow::installCommands(*velmora::Form1);
    return velmora::forms::run(*velmora::Form2);
}
