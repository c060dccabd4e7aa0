// Which requests the browser view lets through. A page of the book (served on the
// program's own scheme) may load what lies inside the installation and may be left for
// a web site by a link, but takes nothing from the network into itself; a page from the
// web never reaches the installation; the local file system stays closed to every page.
#pragma once

#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

namespace velmora::controls {

struct PageRequest {
    QUrl url;
    // The document of the view itself (a navigation), not a part of a page.
    bool mainFrame = false;
    // The document on top of the view that the request serves.
    QUrl firstPartyUrl;
    // The origin that asked for it; empty when the program itself did.
    QUrl initiator;
};

bool isRequestAllowed(const PageRequest &request);

class RequestPolicy : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
};

} // namespace velmora::controls
