#include "controls/browserview.h"

#include "common/casepath.h"
#include "controls/bookschemehandler.h"
#include "controls/compositionpath.h"
#include "controls/silentpage.h"
#include "controls/twips.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

#include <unistd.h>

namespace velmora::controls {
namespace {

// The web engine opens a colour picker for <input type=color> that no page hook can
// refuse; it is turned away here, as soon as it shows, when it belongs to a silent view.
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
                QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
                break;
            }
        }
        return false;
    }
};

// The book's pages may load what lies beside them (their own scheme), but nothing of the
// local file system: file:// requests are refused whoever makes them.
class FileRequestBlocker : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        if (info.requestUrl().isLocalFile() ||
            info.requestUrl().scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0)
            info.block(true);
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
}

BrowserView::BrowserView(const QString &applicationPath, QWidget *parent)
    : QWebEngineView(withCompositionChosen(parent)), m_applicationPath(applicationPath)
{
    // A profile of its own, kept in memory only: the reader stores nothing.
    m_profile = new QWebEngineProfile(this);
    m_handler = new BookSchemeHandler(std::filesystem::path(applicationPath.toStdString()), this);
    m_profile->installUrlSchemeHandler(BookSchemeHandler::kScheme, m_handler);
    m_profile->setUrlRequestInterceptor(new FileRequestBlocker(m_profile));
    m_page = new SilentPage(m_profile, this);
    setPage(m_page);

    QWebEngineSettings *settings = m_page->settings();
    // Pages that declare no charset were written in GBK; the scheme marks its own, this
    // covers web pages.
    settings->setDefaultTextEncoding(QStringLiteral("GBK"));
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    installDialogSilencer();
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
    const QUrl web(address, QUrl::StrictMode);
    const QString scheme = web.scheme().toLower();
    if (web.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
        return web;
    return BookSchemeHandler::urlForFile(
        resolveInstallationPath(m_applicationPath.toStdString(), address.toStdString()));
}

void BrowserView::Navigate(const QString &address)
{
    const QUrl target = urlFor(address);
    // A plain load of the address on show would take the images from the cache.
    if (target == url())
        m_page->triggerAction(QWebEnginePage::ReloadAndBypassCache);
    else
        load(target);
}

} // namespace velmora::controls
