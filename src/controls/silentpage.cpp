#include "controls/silentpage.h"

#include <QAuthenticator>
#include <QWebEngineCertificateError>
#include <QWebEngineNewWindowRequest>

namespace velmora::controls {

SilentPage::SilentPage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
{
    connect(this, &QWebEnginePage::certificateError, this, [this](QWebEngineCertificateError error) {
        // Without a prompt the only safe answer is no: the page fails to load.
        if (m_silent)
            error.rejectCertificate();
    });
    connect(this, &QWebEnginePage::authenticationRequired, this, [this](const QUrl &, QAuthenticator *auth) {
        // A null authenticator cancels the request; the server's own reply is shown.
        if (m_silent)
            *auth = QAuthenticator();
    });
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
            [this](const QUrl &, QAuthenticator *auth, const QString &) {
                if (m_silent)
                    *auth = QAuthenticator();
            });
    // The reader has one window: a link the user follows that was meant for a new one
    // ("visit our site", target=_blank) opens in the view, as any followed link does;
    // what a script opens on its own is dropped (see createWindow).
    connect(this, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest &request) {
        if (request.isUserInitiated())
            request.openIn(this);
    });
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl &origin, Feature feature) {
                if (m_silent)
                    setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
}

void SilentPage::javaScriptAlert(const QUrl &securityOrigin, const QString &msg)
{
    if (!m_silent)
        QWebEnginePage::javaScriptAlert(securityOrigin, msg);
}

bool SilentPage::javaScriptConfirm(const QUrl &securityOrigin, const QString &msg)
{
    // The engine also asks here before leaving a page with a beforeunload handler: true
    // lets the navigation go on, as a silent view must never hold the reader on a page.
    if (m_silent)
        return true;
    return QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
}

bool SilentPage::javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                                  QString *result)
{
    if (m_silent)
        return false;
    return QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
}

void SilentPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                          int lineNumber, const QString &sourceID)
{
    // Script errors of the book's pages are no concern of the reader's user.
    if (!m_silent)
        QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}

QStringList SilentPage::chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                                    const QStringList &acceptedMimeTypes)
{
    if (m_silent)
        return {};
    return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
}

QWebEnginePage *SilentPage::createWindow(WebWindowType)
{
    // The reader has one window: a page never opens another.
    return nullptr;
}

} // namespace velmora::controls
