// The help program's one window: how to read the book with the reader, in Chinese and English.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace velmora::help {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // The text shown, as HTML; also what the tests read.
    static QString helpHtml();

private:
    QTextBrowser *m_text = nullptr;
};

} // namespace velmora::help
