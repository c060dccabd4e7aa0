#include "helpwindow.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace velmora::help {

namespace {

struct HelpItem {
    const char *button; // what the reader shows
    const char *zh;
    const char *en;
};

// One row per button of the reader's window, in the order they stand from left to right.
constexpr HelpItem kItems[] = {
    {"目录 Contents", "回到目录页。目录页上每一行都是一个按钮，点击即可跳到那一章。",
     "Back to the contents page. Every line there is a button that takes you to its chapter."},
    {"帮助 Help", "打开这个帮助窗口。", "Opens this help window."},
    {"退出 Exit", "立即关闭阅读器。", "Closes the reader at once."},
    {"上页 Prev", "翻到上一页。第一页上没有这个按钮。",
     "Turns back one page. It is hidden on the first page."},
    {"下页 Next", "翻到下一页。最后一页上没有这个按钮。",
     "Turns forward one page. It is hidden on the last page."},
    {"Brevanto Team", "点击窗口右下角的名字，可以看到制作者的网站。",
     "Click the name at the bottom right of the window to visit the makers' web site."},
};

} // namespace

QString HelpWindow::helpHtml()
{
    QString html =
        QStringLiteral("<h2>维尔莫拉 · 使用说明</h2><h3>Velmora · How to read this book</h3>"
                       "<p>本书共三十四页：封面、序言、目录、五章正文和二十六篇旅行小记。"
                       "用窗口上方的按钮翻页，或者在目录页上直接点击章节名。</p>"
                       "<p>The book has 34 pages: the cover, a preface, the contents, five chapters "
                       "and twenty-six short travel notes. Turn the pages with the buttons at the top "
                       "of the window, or click a chapter on the contents page.</p>"
                       "<table cellspacing='6'>");
    for (const HelpItem &item : kItems)
        html +=
            QStringLiteral("<tr><td><b>%1</b></td><td>%2<br><i>%3</i></td></tr>")
                .arg(QString::fromUtf8(item.button), QString::fromUtf8(item.zh), QString::fromUtf8(item.en));
    html += QStringLiteral("</table><p>阅读器每次启动都从封面开始，不保存阅读位置。<br>"
                           "<i>The reader always starts at the cover; it keeps no bookmark.</i></p>");
    return html;
}

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent), m_text(new QTextBrowser(this))
{
    setWindowTitle(QStringLiteral("维尔莫拉 帮助 · Velmora Help"));
    m_text->setHtml(helpHtml());
    m_text->setOpenLinks(false);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    resize(600, 560);
}

} // namespace velmora::help
