#include "controls/browserview.h"

#include "common/casepath.h"
#include "common/pageencoding.h"
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

// A navigation dropped by the engine is loaded again at most so often: a page on show
// that keeps changing its own address must not hold the view in a loop.
constexpr int kMaxReloadsOfADroppedNavigation = 2;

bool isBookAddress(const QUrl &url)
{
    return url.scheme() == QLatin1String(BookSchemeHandler::kScheme);
}

bool sameSite(const QUrl &a, const QUrl &b)
{
    return isBookAddress(a) && isBookAddress(b) && a.host() == b.host();
}

// Whether the engine's address `shown` names the document asked for as `asked`: the engine
// writes an address in its own way (characters escaped or not, a fragment dropped).
bool names(const QUrl &shown, const QUrl &asked)
{
    const QUrl a = shown.adjusted(QUrl::NormalizePathSegments | QUrl::RemoveFragment);
    const QUrl b = asked.adjusted(QUrl::NormalizePathSegments | QUrl::RemoveFragment);
    return a.scheme() == b.scheme() && a.host() == b.host() &&
           a.path(QUrl::FullyDecoded) == b.path(QUrl::FullyDecoded) &&
           a.query(QUrl::FullyDecoded) == b.query(QUrl::FullyDecoded);
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
    m_page = makePage(false);
    setPage(m_page);
    installDialogSilencer();
    m_stuckWatch = new StuckPageWatch(*m_page, this);
    connect(this, &QWebEngineView::loadStarted, this,
            [] { FrameClock::instance().pageLoading(kMoviesWaitForPage); });
    connect(this, &QWebEngineView::loadFinished, this, [] { FrameClock::instance().pageLoaded(); });
    connect(this, &QWebEngineView::urlChanged, this, &BrowserView::onUrlChanged);
}

BrowserView::~BrowserView()
{
    // The page must go before the profile it was made with, and nothing is loaded again
    // into it as it goes.
    disconnect(this, &QWebEngineView::urlChanged, this, &BrowserView::onUrlChanged);
    delete m_page;
    m_page = nullptr;
}

SilentPage *BrowserView::makePage(bool silent)
{
    auto *page = new SilentPage(m_profile, this);
    page->setSilent(silent);
    QWebEngineSettings *settings = page->settings();
    // The scheme marks its own undeclared pages; this covers web pages.
    settings->setDefaultTextEncoding(QString::fromLatin1(kUndeclaredPageEncoding));
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    return page;
}

void BrowserView::leaveStuckPage(QUrl target)
{
    // A page of its own, not the stuck one taken to another site: that one would hand
    // the picture of the stuck page to the new process's view to show until its first
    // frame, and on a loaded machine that frame was not always shown, so that the stuck
    // page stayed on screen. With the stuck page goes its process.
    SilentPage *stuck = m_page;
    m_page = makePage(stuck->isSilent());
    setPage(m_page);
    // The first picture of a page in a new process did not always reach the screen on a
    // loaded machine: the view stayed blank, however long, over the loaded page. Shown
    // anew once it has loaded, the page is composed again.
    connect(
        m_page, &QWebEnginePage::loadFinished, this,
        [this, page = m_page] {
            if (page == m_page && isVisible()) {
                page->setVisible(false);
                page->setVisible(true);
            }
        },
        Qt::SingleShotConnection);
    m_stuckWatch->setPage(*m_page);
    delete stuck;
    target.setHost(BookSchemeHandler::hostOfSite(++m_site));
    loadRequested(target);
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
    // With its dot segments resolved, as the engine would show it.
    QUrl target = urlFor(address).adjusted(QUrl::NormalizePathSegments);
    // The address on show, or the one on its way, is loaded under another name, told apart
    // by its query: to the engine a new document, read afresh with its images. A reload
    // would wait for the page on show, forever if its script never returns; a plain load
    // of the same address takes the images from the cache, and one of the address on its
    // way is lost to it (the page file written anew would not be shown).
    for (int name = 1; isBookAddress(target) && (names(url(), target) || target == m_requested); ++name)
        target.setQuery(name == 1 ? QStringLiteral("again") : QStringLiteral("again%1").arg(name));
    // The page on show, or the one on its way (not yet on show), of the same site would
    // have its own process show the next one, a process a script of its may hold.
    if (sameSite(target, url()) || sameSite(target, m_requested))
        m_stuckWatch->watch([this, target] { leaveStuckPage(target); });
    FrameClock::instance().pageLoading(kMoviesWaitForPage);
    loadRequested(target);
}

void BrowserView::loadRequested(const QUrl &target)
{
    m_requested = target;
    m_reloadsLeft = kMaxReloadsOfADroppedNavigation;
    load(target);
}

void BrowserView::onUrlChanged(const QUrl &shown)
{
    // No address at all: the page is going away, with the view or the window.
    if (m_requested.isEmpty() || shown.isEmpty()) {
        m_requested.clear();
        return;
    }
    // Another document came on show while the requested one was on its way. A navigation
    // begun while the page before is being handed to a new renderer process (a page of
    // another site, or the book under a fresh site) is dropped, without a word, when that
    // page arrives: loaded again now, nothing stands before it. A web address that
    // changes on the way (a redirect) is the web's affair and not loaded again.
    if (names(shown, m_requested) || m_reloadsLeft == 0 ||
        (!isBookAddress(shown) && !isBookAddress(m_requested))) {
        m_requested.clear();
        return;
    }
    --m_reloadsLeft;
    load(m_requested);
}

} // namespace velmora::controls
