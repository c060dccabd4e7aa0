// The baseline of the start-up benchmark: the least a Qt WebEngine program does to show
// one local page in a window of the reader's page size.
#include <QApplication>
#include <QUrl>
#include <QWebEngineView>

#include <unistd.h>

int main(int argc, char *argv[])
{
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1"); // as the reader does
    QApplication app(argc, argv);
    QWebEngineView view;
    view.resize(1000, 625);
    view.show();
    view.load(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[argc - 1])));
    return QApplication::exec();
}
