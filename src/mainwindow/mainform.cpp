#include "mainwindow/mainform.h"

#include "controls/bookschemehandler.h"
#include "controls/browserview.h"
#include "controls/flashbutton.h"
#include "controls/flashbuttonaccessible.h"
#include "controls/twips.h"
#include "mainwindow/commandtable.h"
#include "mainwindow/labelfont.h"
#include "mainwindow/mainformtables.h"
#include "startup/loaderform.h"
#include "startup/runtime.h"

#include <QAccessible>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <cmath>

namespace velmora::mainwindow {

// Watches the main window for the two things Qt reports only as events: the frame
// the window manager puts around it (so that the outer size can be made exact), and
// clicks on Label1.
class WindowWatcher : public QObject {
public:
    WindowWatcher(MainForm &form, QObject *parent) : QObject(parent), m_form(form) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_form.Label1) {
            if (event->type() == QEvent::MouseButtonRelease && m_form.m_label1Click)
                forms::dispatch(m_form.m_label1Click);
            return false;
        }
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
            // Once: a frame that changes later (openbox drops the borders of a maximised
            // window) comes with a size the window manager or the user chose.
            if (m_form.m_sizedForFrame.isNull() && !m_form.currentFrame().isNull())
                m_form.setOuterSize();
            break;
        default:
            break;
        }
        return false;
    }

private:
    MainForm &m_form;
};

namespace {

// The window's picture, decoded when it is first painted: by then the first page is
// already on its way, and the start-up does not wait for the picture.
class PictureBox : public QWidget {
public:
    PictureBox(QString file, QWidget *parent) : QWidget(parent), m_file(std::move(file)) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (m_image.isNull() && !m_file.isEmpty()) {
            m_image = QImage(m_file);
            m_file.clear(); // one attempt: a broken picture is not decoded again
        }
        QPainter painter(this);
        // At a whole scale (200 %) each picture pixel becomes a sharp block; at 150 % a
        // nearest-pixel stretch would double every other row and column, so it is filtered.
        const qreal ratio = devicePixelRatioF();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, ratio != std::floor(ratio));
        painter.drawImage(0, 0, m_image);
    }

private:
    QString m_file;
    QImage m_image;
};

// The forms' windows offer assistive technology only the movie buttons on show.
QAccessibleInterface *formWindowInterface(const QString &, QObject *object)
{
    if (auto *window = qobject_cast<forms::FormWindow *>(object))
        return new controls::ButtonHolderAccessible(window);
    return nullptr;
}

} // namespace

MainForm::MainForm()
    : Form(QString::fromLatin1(forms::LoaderForm::kMainFormName)),
      m_buttonNames(forms::applicationPath, [this]() -> std::shared_ptr<content::Connection> {
          return rsxs.isNothing() ? nullptr : rsxs->activeConnection();
      })
{
    static const bool installed = [] {
        QAccessible::installFactory(formWindowInterface);
        return true;
    }();
    (void)installed;
}

MainForm::~MainForm()
{
    // The window's watcher reads this form's members while the window goes.
    discardWindow();
}

controls::FlashButton *MainForm::ShockwaveFlash(int number) const
{
    const auto it = m_buttons.find(number);
    if (it == m_buttons.end())
        throw Failure(Error(424, "Object required: ShockwaveFlash" + std::to_string(number)));
    return it->second;
}

void MainForm::buttonvisible()
{
    for (int n = kFirstChapterControl; n <= kLastChapterControl; ++n)
        ShockwaveFlash(n)->setVisible(false);
}

void MainForm::buttontrue()
{
    for (int n = kFirstChapterControl; n <= kLastChapterControl; ++n)
        ShockwaveFlash(n)->setVisible(true);
}

void MainForm::dong1()
{
    buttonvisible();
    ShockwaveFlash(kPageUpButton)->setVisible(true);
    ShockwaveFlash(kPageDownButton)->setVisible(true);
}

void MainForm::setFocusHandler(int number, Handler handler)
{
    if (handler)
        m_focusHandlers[number] = std::move(handler);
    else
        m_focusHandlers.erase(number);
}

void MainForm::setLabel1ClickHandler(Handler handler)
{
    m_label1Click = std::move(handler);
}

void MainForm::raiseFocusEvent(int number)
{
    const auto it = m_focusHandlers.find(number);
    if (it != m_focusHandlers.end())
        forms::dispatch(it->second);
}

void MainForm::buildWindow(forms::FormWindow &window)
{
    const QString appPath = forms::applicationPath();
    window.setWindowTitle(QString::fromLatin1(kCaption));
    window.setWindowIcon(QIcon(QStringLiteral(":/artwork/velmora.ico")));
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(128, 128, 128));
    window.setPalette(palette);
    window.setAutoFillBackground(true);

    // Stacking follows creation: the picture and the label at the bottom, the text boxes
    // beneath the browser view, the buttons above it.
    const QString pictureFile = QStringLiteral(":/artwork/window.jpg");
    if (const QSize size = QImageReader(pictureFile).size(); size.isValid()) {
        auto *background = new PictureBox(pictureFile, &window);
        background->setGeometry(QRect(QPoint(0, 0), size));
    }

    Label1 = new QLabel(QString::fromLatin1(kMakerName), &window);
    Label1->setGeometry(toPixels(kLabel1Rect));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label1->setFont(label1Font(Label1->text(), Label1->size()));
    Label1->setAttribute(Qt::WA_TranslucentBackground);

    Text1 = new QLineEdit(QStringLiteral("Text1"), &window);
    Text1->setGeometry(toPixels(kText1Rect));
    Text2 = new QLineEdit(QStringLiteral("Text2"), &window);
    Text2->setGeometry(toPixels(kText2Rect));

    WebBrowser1 = new controls::BrowserView(appPath, &window);
    WebBrowser1->setGeometry(toPixels(kStoredBrowserRect));
    WebBrowser1->schemeHandler().setPageSource([this](const std::filesystem::path &file) {
        return controls::BookSchemeHandler::WrittenPage{
            m_writtenPages.pageFor(file), QByteArray::fromStdString(m_writtenPages.charsetOf(file))};
    });

    for (const ButtonPlace &place : buttonLayout()) {
        auto *button = new controls::FlashButton(appPath, &window);
        button->setObjectName(QStringLiteral("ShockwaveFlash%1").arg(place.control));
        button->setGeometry(toPixels(place.rect));
        button->setVisible(place.storedVisible);
        const int number = place.control;
        button->setDescription(
            {[this, number] { return m_buttonNames.nameOf(number); }, commandFor(number).has_value()});
        // Queued: the command runs once the focus has settled on the button, so that a
        // command moving the focus on (to Text1) is not nested in Qt's focus change.
        QObject::connect(
            button, &controls::FlashButton::focusEvent, &window, [this, number] { raiseFocusEvent(number); },
            Qt::QueuedConnection);
        m_buttons[number] = button;
    }

    QWidget::setTabOrder(WebBrowser1, Text1);
    QWidget::setTabOrder(Text1, Text2);
    WebBrowser1->setFocus();

    auto *watcher = new WindowWatcher(*this, &window);
    window.installEventFilter(watcher);
    Label1->installEventFilter(watcher);
    m_watcher = watcher;
}

void MainForm::setOuterSize()
{
    forms::FormWindow *w = window();
    const QSize outer = twipsSize(kOuterWidthTwips, kOuterHeightTwips);
    // Until the window manager has framed the window its frame is unknown (and without
    // one there is none): the client area then takes the whole outer size.
    const QMargins frame = currentFrame();
    const QSize client(outer.width() - frame.left() - frame.right(),
                       outer.height() - frame.top() - frame.bottom());
    m_sizedForFrame = frame;
    if (w->size() != client)
        w->resize(client);
    if (!w->isVisible()) {
        // Centred on the screen when first shown.
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            w->move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
        }
    }
}

QMargins MainForm::currentFrame() const
{
    const forms::FormWindow *w = window();
    return w && w->windowHandle() ? w->windowHandle()->frameMargins() : QMargins();
}

void MainForm::formLoad()
{
    const QString appPath = forms::applicationPath();
    // 1. The outer size, whatever the layout stores.
    setOuterSize();
    // 2.
    WebBrowser1->setLeft(0);
    WebBrowser1->setSilent(true);
    // 3. Every movie, in the table's order; a missing file is the button's affair.
    for (const ButtonMovie &entry : movieTable())
        ShockwaveFlash(entry.control)->setMovie(appPath + entry.movie);
    // 4.-7.
    buttonvisible();
    pageno = 0;
    pagepath = appPath + QString::fromUtf8(navigation::kFirstPagePath);
    WebBrowser1->Navigate(pagepath);
    // 8. The page recordset, on the loader's connection.
    rsxs->setActiveConnection(Form2->adocnaccess.shared());
    rsxs->setSource(kPageQuery);
    rsxs->open().check();
    // 9.
    ShockwaveFlash(kPageUpButton)->setVisible(false);
}

void MainForm::formUnload(int &)
{
    rsxs->close().check();
    rsxs.reset();
}

void MainForm::windowReleased()
{
    // The window itself goes later; from now on its events are none of this form's.
    delete m_watcher;
    m_watcher = nullptr;
    WebBrowser1 = nullptr;
    Text1 = nullptr;
    Text2 = nullptr;
    Label1 = nullptr;
    m_buttons.clear();
    m_sizedForFrame = QMargins();
}

} // namespace velmora::mainwindow
