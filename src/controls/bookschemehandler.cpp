#include "controls/bookschemehandler.h"

#include "common/pageencoding.h"
#include "controls/installpath.h"

#include <QBuffer>
#include <QFile>
#include <QMimeDatabase>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace velmora::controls {
namespace {

// Pages larger than this are refused rather than read whole into memory.
constexpr qint64 kMaxFileBytes = qint64{256} * 1024 * 1024;
// Other files up to this size are read whole at once; larger ones the web engine reads a
// piece at a time as the page takes them, so that no request holds the GUI thread (its
// painting, the movies, the next page) for the time a whole large file takes to read.
constexpr qint64 kReadWholeBytes = qint64{1} * 1024 * 1024;
// A charset declaration is looked for in the head of the page, no further.
constexpr qsizetype kDeclarationWindow = qsizetype{64} * 1024;

bool isPageName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".trm"), Qt::CaseInsensitive) ||
           fileName.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
           fileName.endsWith(QLatin1String(".html"), Qt::CaseInsensitive);
}

bool declaresCharset(const QByteArray &data)
{
    if (data.startsWith("\xEF\xBB\xBF") || data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF"))
        return true;
    const QByteArray head = data.left(kDeclarationWindow).toLower();
    const qsizetype body = head.indexOf("<body");
    qsizetype at = head.indexOf("<meta");
    while (at >= 0 && (body < 0 || at < body)) {
        const qsizetype end = head.indexOf('>', at);
        const QByteArray tag = head.mid(at, end < 0 ? -1 : end - at);
        if (tag.contains("charset"))
            return true;
        at = head.indexOf("<meta", at + 5);
    }
    return false;
}

bool isLexicallyInside(const std::filesystem::path &root, const std::filesystem::path &path)
{
    const std::filesystem::path relative =
        path.lexically_normal().lexically_relative(root.lexically_normal());
    return !relative.empty() && *relative.begin() != "..";
}

} // namespace

void BookSchemeHandler::registerScheme()
{
    if (QWebEngineUrlScheme::schemeByName(kScheme).name() == kScheme)
        return;
    QWebEngineUrlScheme scheme(kScheme);
    // With a host the book's pages share one origin and one renderer process; addresses
    // of a bare path would each be an origin of their own, and every page turn would
    // wait for a new process to start (three times what the rest of a turn costs).
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Local: web pages cannot reach the book's files. LocalAccessAllowed: a book page may
    // load what lies beside it (without it, its images are never even asked for); file://
    // stays closed to it through the view's settings, and the handler keeps every request
    // inside the installation.
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed |
                    QWebEngineUrlScheme::SecureScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl BookSchemeHandler::urlForFile(const std::filesystem::path &file, int site)
{
    QUrl url;
    url.setScheme(kScheme);
    url.setHost(hostOfSite(site));
    url.setPath(QString::fromStdString(file.generic_string()));
    return url;
}

QString BookSchemeHandler::hostOfSite(int site)
{
    return site > 0 ? QStringLiteral("book%1").arg(site) : QStringLiteral("book");
}

QByteArray BookSchemeHandler::mimeTypeFor(const QString &fileName, const QByteArray &data,
                                          const QByteArray &charset)
{
    if (isPageName(fileName)) {
        if (!charset.isEmpty())
            return "text/html; charset=" + charset;
        if (declaresCharset(data))
            return "text/html";
        return QByteArray("text/html; charset=") + kUndeclaredPageEncoding;
    }
    static const QMimeDatabase database;
    return database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name().toUtf8();
}

BookSchemeHandler::BookSchemeHandler(std::filesystem::path root, QObject *parent)
    : QWebEngineUrlSchemeHandler(parent), m_root(std::move(root))
{
}

void BookSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    // The file is the path's alone, whatever site the host names.
    const QString path = job->requestUrl().path(QUrl::FullyDecoded);
    if (job->requestMethod() != "GET" || path.split(u'/').contains(QLatin1String(".."))) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const std::filesystem::path requested(path.toStdString());
    WrittenPage written;
    if (m_pageSource && isLexicallyInside(m_root, requested))
        written = m_pageSource(requested);
    if (written.document) {
        auto *buffer = new QBuffer(job);
        buffer->setData(QByteArray::fromStdString(*written.document));
        buffer->open(QIODevice::ReadOnly);
        job->reply(mimeTypeFor(path, buffer->data(), written.charset), buffer);
        return;
    }
    const auto file = containedFile(m_root, requested);
    if (!file) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto *input = new QFile(QString::fromStdString(file->string()), job);
    if (!input->open(QIODevice::ReadOnly) || input->size() > kMaxFileBytes) {
        job->fail(QWebEngineUrlRequestJob::RequestFailed);
        return;
    }
    const QString fileName = input->fileName();
    if (!isPageName(fileName) && input->size() > kReadWholeBytes) {
        job->reply(mimeTypeFor(fileName, {}), input); // the type of a file not a page is its name's
        return;
    }
    // The whole file now, so that a page rewritten between two navigations is shown as it is.
    auto *buffer = new QBuffer(job);
    buffer->setData(input->readAll());
    delete input;
    buffer->open(QIODevice::ReadOnly);
    job->reply(mimeTypeFor(fileName, buffer->data(), written.charset), buffer);
}

} // namespace velmora::controls
