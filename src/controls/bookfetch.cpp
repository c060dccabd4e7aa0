#include "controls/bookfetch.h"

#include "controls/bookschemehandler.h"

#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace velmora::controls {
namespace {

// Runs before the page's own scripts, in each frame; outside book pages it does nothing.
// Requests for other schemes go to the engine's own fetch unchanged. BOOK_SCHEME stands
// for the scheme's name and colon, as a string.
constexpr const char *kBookFetch = R"js(
(function () {
    'use strict';
    if (location.protocol !== BOOK_SCHEME || typeof window.fetch !== 'function')
        return;
    const engineFetch = window.fetch;
    window.fetch = function (resource, init) {
        let request;
        try {
            request = new Request(resource, init);
        } catch (e) {
            return engineFetch.apply(this, arguments);
        }
        if (!request.url.startsWith(BOOK_SCHEME))
            return engineFetch.apply(this, arguments);
        return new Promise(function (resolve, reject) {
            const xhr = new XMLHttpRequest();
            const fail = function () {
                reject(new TypeError('Failed to fetch'));
            };
            xhr.open(request.method, request.url);
            xhr.responseType = 'arraybuffer';
            xhr.onload = function () {
                const status = xhr.status >= 200 && xhr.status <= 599 ? xhr.status : 200;
                const type = xhr.getResponseHeader('Content-Type');
                resolve(new Response(xhr.response, {status: status, headers: type ? {'Content-Type': type} : {}}));
            };
            xhr.onerror = fail;
            xhr.onabort = fail;
            if (request.signal) {
                if (request.signal.aborted)
                    return fail();
                request.signal.addEventListener('abort', function () {
                    xhr.abort();
                });
            }
            xhr.send();
        });
    };
})();
)js";

} // namespace

void addBookFetch(QWebEngineProfile &profile)
{
    QWebEngineScript script;
    script.setName(QStringLiteral("velmora-book-fetch"));
    const QString scheme = QStringLiteral("'%1:'").arg(QLatin1String(BookSchemeHandler::kScheme));
    script.setSourceCode(QString::fromUtf8(kBookFetch).replace(QLatin1String("BOOK_SCHEME"), scheme));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    profile.scripts()->insert(script);
}

} // namespace velmora::controls
