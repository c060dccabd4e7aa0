// A forward cursor over one column of one table, on the shared libmdb handle: the
// machinery under Recordset.
#pragma once

#include "common/result.h"
#include "content/database.h"

#include <memory>
#include <optional>
#include <string>

namespace velmora::content {

// `select <field> from <table>`, split; std::nullopt-like errors for anything else.
struct Query {
    std::string field;
    std::string table;
};
Result<Query> parseQuery(std::string_view text);

class Cursor {
public:
    static Result<std::unique_ptr<Cursor>> open(std::shared_ptr<Database> database, const Query &query);

    const std::shared_ptr<Database> &database() const { return m_database; }
    const std::string &fieldName() const { return m_fieldName; }
    // Back to the first record; EOF (and BOF) when the table has none.
    Result<void> rewind();
    // Forward `count` records; EOF when the end comes first.
    Result<void> advance(long count);
    bool atEnd() const { return m_atEnd; }
    bool empty() const { return m_empty; }
    // True when value() gives text in UTF-8 (a Memo or Text field) rather than bytes as stored.
    bool givesText() const;
    // The value of the field in the current record (never called at the end).
    Result<std::optional<std::string>> value() const;

private:
    Cursor() = default;
    Result<void> fetch();

    std::shared_ptr<Database> m_database;
    TablePtr m_table;
    MdbColumn *m_column = nullptr;
    std::string m_fieldName;
    bool m_atEnd = true;
    bool m_empty = true;
    // The current record's field as stored in its row (copied, since the page buffer
    // belongs to whoever reads next), or its text for the short fixed-size types.
    bool m_null = true;
    std::string m_stored;
};

} // namespace velmora::content
