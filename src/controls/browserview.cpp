#include "controls/browserview.h"

#include "common/casepath.h"
#include "controls/bookfetch.h"
#include "controls/bookschemehandler.h"
#include "controls/compositionpath.h"
#include "controls/frameclock.h"
#include "controls/requestpolicy.h"
#include "controls/silentpage.h"
#include "controls/stuckpagewatch.h"
#include "controls/twips.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <unistd.h>

namespace velmora::controls {
namespace {

// The movies wait for a page at most this long; a book page loads in a tenth of it.
constexpr std::chrono::milliseconds kMoviesWaitForPage{150};

// The web engine opens a colour picker for <input type=color> that no page hook can
// refuse; it is turned away here, as soon as it shows, when it belongs to a silent view.
// It is shown without taking the activation, and the reader's window is made active
// again after it: otherwise the next click on a button would only give the activation
// back, and its command would not run.
class DialogSilencer : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        auto *dialog = qobject_cast<QDialog *>(watched);
        if (!dialog)
            return false;
        for (QObject *o = dialog->parent(); o; o = o->parent()) {
            if (auto *view = qobject_cast<BrowserView *>(o); view && view->silent()) {
                dialog->setAttribute(Qt::WA_ShowWithoutActivating);
                QMetaObject::invokeMethod(
                    dialog,
                    [dialog, reader = QPointer<QWidget>(view->window())] {
                        dialog->reject();
                        if (reader)
                            reader->activateWindow();
                    },
                    Qt::QueuedConnection);
                break;
            }
        }
        return false;
    }
};

// The composition path must be fixed before the view's base makes anything of Qt Quick.
QWidget *withCompositionChosen(QWidget *parent)
{
    applyComposition();
    return parent;
}

void installDialogSilencer()
{
    static QObject *silencer = nullptr;
    if (!silencer) {
        silencer = new DialogSilencer(qApp);
        qApp->installEventFilter(silencer);
    }
}

} // namespace

void BrowserView::prepareProcess()
{
    BookSchemeHandler::registerScheme();
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // Without it the web engine keeps its pages from assistive technology on Linux; with
    // it, a page's accessibility is built only while such technology is listening.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
}

BrowserView::BrowserView(const QString &applicationPath, QWidget *parent)
    : QWebEngineView(withCompositionChosen(parent)), m_applicationPath(applicationPath)
{
    // A profile of its own, kept in memory only: the reader stores nothing.
    m_profile = new QWebEngineProfile(this);
    m_handler = new BookSchemeHandler(std::filesystem::path(applicationPath.toStdString()), this);
    m_profile->installUrlSchemeHandler(BookSchemeHandler::kScheme, m_handler);
    m_profile->setUrlRequestInterceptor(new RequestPolicy(m_profile));
    addBookFetch(*m_profile);
    m_page = new SilentPage(m_profile, this);
    setPage(m_page);

    QWebEngineSettings *settings = m_page->settings();
    // Pages that declare no charset were written in GBK; the scheme marks its own, this
    // covers web pages.
    settings->setDefaultTextEncoding(QStringLiteral("GBK"));
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    installDialogSilencer();
    m_stuckWatch = new StuckPageWatch(*m_page, this);
    connect(this, &QWebEngineView::loadStarted, this,
            [] { FrameClock::instance().pageLoading(kMoviesWaitForPage); });
    connect(this, &QWebEngineView::loadFinished, this, [] { FrameClock::instance().pageLoaded(); });
}

BrowserView::~BrowserView()
{
    // The page must go before the profile it was made with.
    delete m_page;
    m_page = nullptr;
}

void BrowserView::setSilent(bool silent)
{
    m_page->setSilent(silent);
    setContextMenuPolicy(silent ? Qt::NoContextMenu : Qt::DefaultContextMenu);
}

bool BrowserView::silent() const
{
    return m_page && m_page->isSilent();
}

void BrowserView::setLeft(double twips)
{
    move(twipsToPixels(twips), y());
}

QUrl BrowserView::urlFor(const QString &address) const
{
    QUrl web(address, QUrl::StrictMode);
    const QString scheme = web.scheme().toLower();
    if (web.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
        return web;
    return BookSchemeHandler::urlForFile(
        resolveInstallationPath(m_applicationPath.toStdString(), address.toStdString()), m_site);
}

void BrowserView::Navigate(const QString &address)
{
    QUrl target = urlFor(address);
    // The address on show is loaded under a second name, told apart by its query: to the
    // engine a new document, read afresh with its images. A reload would wait for the
    // page on show, forever if its script never returns, and a plain load of the same
    // address takes the images from the cache.
    const auto isBook = [](const QUrl &url) {
        return url.scheme() == QLatin1String(BookSchemeHandler::kScheme);
    };
    if (target == url() && isBook(target))
        target.setQuery(QStringLiteral("again"));
    // The page on show, of the same site, would have its own process show the next one.
    if (isBook(target) && isBook(url()) && target.host() == url().host()) {
        m_stuckWatch->watch([this, target]() mutable {
            target.setHost(BookSchemeHandler::hostOfSite(++m_site));
            load(target);
        });
    }
    FrameClock::instance().pageLoading(kMoviesWaitForPage);
    load(target);
}

} // namespace velmora::controls
