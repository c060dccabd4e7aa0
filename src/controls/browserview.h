// The browser view of the main window: shows the installation's pages (served through
// the program's own URL scheme) and web addresses, one at a time.
#pragma once

#include <QString>
#include <QWebEngineView>

class QWebEngineProfile;

namespace velmora::controls {

class BookSchemeHandler;
class SilentPage;
class StuckPageWatch;

class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    // `applicationPath` is the installation folder: pages are read from it and from
    // nowhere else. BookSchemeHandler::registerScheme() must have run before QApplication.
    explicit BrowserView(const QString &applicationPath, QWidget *parent = nullptr);
    ~BrowserView() override;

    // Run once before the QApplication is made: registers the program's URL scheme and,
    // for a process running as root, turns off the web engine's sandbox, which refuses
    // to start as root; lets the web engine offer its pages to assistive technology.
    static void prepareProcess();

    // Shows the document at `address`: a full path as the program writes it
    // ("<application path>\res\1p.html", matched without regard to case) or an http(s)
    // address. Returns at once; the page loads in the background. Asked for the address
    // already on show, it reads the file and its images afresh.
    void Navigate(const QString &address);

    // While silent the view raises no dialog, menu or window of its own.
    void setSilent(bool silent);
    bool silent() const;

    // Moves the view's left edge, in twips from the left of its window.
    void setLeft(double twips);

    // The address Navigate would load for `address`.
    QUrl urlFor(const QString &address) const;

    const QString &applicationPath() const { return m_applicationPath; }
    // The handler that serves the installation's files; see BookSchemeHandler::setPageSource.
    BookSchemeHandler &schemeHandler() const { return *m_handler; }

private:
    SilentPage *makePage(bool silent);
    // Shows `target` in a new page, under a fresh site, in place of the page on show,
    // whose process is stuck.
    void leaveStuckPage(QUrl target);
    // Loads `target` as the address the view is to show.
    void loadRequested(const QUrl &target);
    void onUrlChanged(const QUrl &shown);

    QString m_applicationPath;
    // The address Navigate last loaded, until it is on show, and how often it may yet be
    // loaded again should the engine drop it.
    QUrl m_requested;
    int m_reloadsLeft = 0;
    QWebEngineProfile *m_profile = nullptr;
    BookSchemeHandler *m_handler = nullptr;
    SilentPage *m_page = nullptr;
    StuckPageWatch *m_stuckWatch = nullptr;
    int m_site = 0; // the book's site, moved on when a page's process is stuck
};

} // namespace velmora::controls
