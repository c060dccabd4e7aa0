#include "controls/requestpolicy.h"

#include "controls/bookschemehandler.h"

#include <QWebEngineUrlRequestInfo>

namespace velmora::controls {
namespace {

bool hasScheme(const QUrl &url, QLatin1String scheme)
{
    return url.scheme().compare(scheme, Qt::CaseInsensitive) == 0;
}

bool isBook(const QUrl &url)
{
    return hasScheme(url, QLatin1String(BookSchemeHandler::kScheme));
}

// What a book page may take into itself: its installation's files, and data it made.
bool isBookPagePart(const QUrl &url)
{
    return isBook(url) || hasScheme(url, QLatin1String("data")) || hasScheme(url, QLatin1String("blob"));
}

} // namespace

bool isRequestAllowed(const PageRequest &request)
{
    if (request.url.isLocalFile() || hasScheme(request.url, QLatin1String("file")))
        return false;
    // An opaque origin (a book page's) may come as "null": only a real origin of another
    // scheme is somebody else's.
    const bool askedByOthers = !request.initiator.scheme().isEmpty() && !isBook(request.initiator);
    if (request.mainFrame)
        return !(isBook(request.url) && askedByOthers); // links to the web are followed
    if (isBook(request.firstPartyUrl))
        return isBookPagePart(request.url) && !askedByOthers;
    return !isBook(request.url);
}

void RequestPolicy::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const PageRequest request{info.requestUrl(),
                              info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame,
                              info.firstPartyUrl(), info.initiator()};
    if (!isRequestAllowed(request))
        info.block(true);
}

} // namespace velmora::controls
