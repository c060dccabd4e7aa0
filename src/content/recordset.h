// A forward-only, read-only recordset over one field of one table of the content
// database, as the page commands use it: open on record 0, MoveFirst, Move, MoveNext.
#pragma once

#include "common/result.h"
#include "content/connection.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::content {

class Cursor;

// A field value: std::nullopt is Null; otherwise the bytes. A Long Binary (OLE Object)
// value is given byte for byte as stored; a Memo or Text value as its text in UTF-8.
using FieldValue = std::optional<std::string>;
// The encoding of the values of Memo and Text fields, as its name on the web.
inline constexpr const char *kTextCharset = "UTF-8";

class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset &) = delete;
    Recordset &operator=(const Recordset &) = delete;

    void setActiveConnection(std::shared_ptr<Connection> connection) { m_connection = std::move(connection); }
    const std::shared_ptr<Connection> &activeConnection() const { return m_connection; }
    // The query: exactly `select <field> from <table>` (keywords in any case).
    void setSource(std::string source) { m_source = std::move(source); }
    const std::string &source() const { return m_source; }

    // Runs the query on the active connection; the current record is record 0
    // (or BOF and EOF are both true when the table is empty).
    Result<void> open();
    ObjectState state() const;

    // Back to record 0 from wherever the cursor is (the query runs again).
    Result<void> moveFirst();
    // `count` records forward from the current one; 0 stays. Past the last record EOF
    // becomes true; a move while EOF is true is an error, as is a negative count.
    Result<void> move(long count);
    Result<void> moveNext();
    bool bof() const;
    bool eof() const;
    // The value of `name` (any case) in the current record.
    Result<FieldValue> fields(std::string_view name) const;
    // True when the query's field is a Memo or Text field, whose values are text in
    // kTextCharset; false for bytes as stored, and while the recordset is closed.
    bool givesText() const;
    Result<void> close();

private:
    Result<void> checkUsable() const;

    std::shared_ptr<Connection> m_connection;
    std::string m_source;
    std::unique_ptr<Cursor> m_cursor;
};

} // namespace velmora::content
