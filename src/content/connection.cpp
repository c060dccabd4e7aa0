#include "content/connection.h"

#include "common/casepath.h"
#include "content/contenterror.h"
#include "content/database.h"

namespace velmora::content {
namespace {

constexpr std::string_view kProvider = "Microsoft.Jet.OLEDB.4.0";

std::string_view trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

} // namespace

Result<ConnectionSettings> parseConnectionString(std::string_view text)
{
    ConnectionSettings settings;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view part = text.substr(start, end - start);
        start = end + 1;
        if (trimmed(part).empty())
            continue;
        const size_t eq = part.find('=');
        if (eq == std::string_view::npos)
            return contentError(ContentError::BadConnectionString);
        const std::string_view key = trimmed(part.substr(0, eq));
        const std::string value(trimmed(part.substr(eq + 1)));
        if (equalsIgnoringAsciiCase(key, "Provider"))
            settings.provider = value;
        else if (equalsIgnoringAsciiCase(key, "Persist Security Info"))
            settings.persistSecurityInfo = value;
        else if (equalsIgnoringAsciiCase(key, "Data Source"))
            settings.dataSource = value;
        else if (equalsIgnoringAsciiCase(key, "Jet OLEDB:Database Password"))
            settings.password = value;
        // Other settings (user id, mode …) change nothing for a read-only local file.
    }
    return settings;
}

Connection::Connection() = default;

Connection::~Connection()
{
    close();
}

Result<void> Connection::open()
{
    if (m_database)
        return contentError(ContentError::ObjectOpen);
    Result<ConnectionSettings> settings = parseConnectionString(m_connectionString);
    if (!settings)
        return settings.error();
    if (!equalsIgnoringAsciiCase(settings->provider, kProvider))
        return contentError(ContentError::ProviderNotFound);
    if (settings->dataSource.empty())
        return contentError(ContentError::BadConnectionString);
    const std::string path = resolveInstallationPath(m_applicationPath, settings->dataSource).string();
    Result<std::shared_ptr<Database>> db = Database::openFile(path, settings->password);
    if (!db)
        return db.error();
    m_database = std::move(db.value());
    return {};
}

ObjectState Connection::state() const
{
    return m_database ? ObjectState::Open : ObjectState::Closed;
}

void Connection::close()
{
    if (m_database)
        m_database->markClosed();
    m_database.reset();
}

} // namespace velmora::content
