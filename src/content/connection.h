// The connection to the book's content database: parses the connection string, checks
// the database password and holds the open file for the recordsets over it.
//
//   auto connection = std::make_shared<Connection>();
//   connection->setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
//                                   ";Jet OLEDB:Database Password=" + password);
//   if (Result<void> opened = connection->open(); !opened) report(opened.error());
#pragma once

#include "common/result.h"

#include <memory>
#include <string>

namespace velmora::content {

class Database;

enum class ObjectState { Closed = 0, Open = 1 };

// The settings of a connection string. Keys are matched without regard to case; blanks
// around keys and values are not part of them.
struct ConnectionSettings {
    std::string provider;
    std::string persistSecurityInfo;
    std::string dataSource;
    std::string password; // "Jet OLEDB:Database Password"; empty = none given
};

// Parses `key=value;key=value`. Unknown keys are ignored; a part without '=' is an error.
Result<ConnectionSettings> parseConnectionString(std::string_view text);

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void setConnectionString(std::string text) { m_connectionString = std::move(text); }
    const std::string &connectionString() const { return m_connectionString; }
    // Accepted for the caller's sake: opening a local file never waits.
    void setConnectionTimeout(int seconds) { m_connectionTimeout = seconds; }
    int connectionTimeout() const { return m_connectionTimeout; }
    // The folder the program runs from. A data source below it is found as every path of
    // the installation is (resolveInstallationPath); empty, a data source is resolved
    // from the root.
    void setApplicationPath(std::string path) { m_applicationPath = std::move(path); }

    // Opens the database read-only. On any failure the connection stays closed.
    Result<void> open();
    ObjectState state() const;
    // Closes the connection; recordsets opened over it report "closed" from then on.
    void close();

    // The open database, shared with the recordsets; null while closed.
    std::shared_ptr<Database> database() const { return m_database; }

private:
    std::string m_connectionString;
    int m_connectionTimeout = 15;
    std::string m_applicationPath;
    std::shared_ptr<Database> m_database;
};

} // namespace velmora::content
