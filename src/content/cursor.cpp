#include "content/cursor.h"

#include "common/casepath.h"
#include "content/contenterror.h"
#include "content/jettext.h"

#include <cstring>
#include <sstream>
#include <vector>

namespace velmora::content {
namespace {

// A name as written in the query, without the brackets Jet allows around it.
std::string unbracketed(std::string word)
{
    if (word.size() >= 2 && word.front() == '[' && word.back() == ']')
        return word.substr(1, word.size() - 2);
    return word;
}

bool isLongType(int type)
{
    return type == MDB_OLE || type == MDB_MEMO;
}

} // namespace

Result<Query> parseQuery(std::string_view text)
{
    std::string body(text);
    while (!body.empty() && (body.back() == ';' || std::isspace(static_cast<unsigned char>(body.back()))))
        body.pop_back();
    std::istringstream in(body);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(std::move(word));
    if (words.empty() || !equalsIgnoringAsciiCase(words[0], "select"))
        return contentError(ContentError::SyntaxError);
    if (words.size() != 4 || !equalsIgnoringAsciiCase(words[2], "from") || words[1] == "*" ||
        words[1].find(',') != std::string::npos)
        return contentError(ContentError::UnsupportedQuery, text);
    return Query{unbracketed(words[1]), unbracketed(words[3])};
}

Result<std::unique_ptr<Cursor>> Cursor::open(std::shared_ptr<Database> database, const Query &query)
{
    Result<TablePtr> table = database->openTable(query.table);
    if (!table)
        return table.error();
    std::unique_ptr<Cursor> cursor(new Cursor);
    cursor->m_database = std::move(database);
    cursor->m_table = std::move(table.value());
    MdbTableDef *def = cursor->m_table.get();
    for (guint i = 0; def->columns && i < def->columns->len; ++i) {
        auto *column = static_cast<MdbColumn *>(g_ptr_array_index(def->columns, i));
        if (equalsIgnoringAsciiCase(column->name, query.field)) {
            cursor->m_column = column;
            cursor->m_fieldName = column->name;
            break;
        }
    }
    if (!cursor->m_column)
        return contentError(ContentError::FieldNotFound, query.field);
    if (Result<void> first = cursor->rewind(); !first)
        return first.error();
    return cursor;
}

Result<void> Cursor::rewind()
{
    mdb_rewind_table(m_table.get());
    m_atEnd = false;
    if (Result<void> first = fetch(); !first)
        return first;
    m_empty = m_atEnd;
    return {};
}

Result<void> Cursor::advance(long count)
{
    for (long i = 0; i < count && !m_atEnd; ++i) {
        if (Result<void> next = fetch(); !next)
            return next;
    }
    return {};
}

Result<void> Cursor::fetch()
{
    MdbHandle *mdb = m_database->handle();
    MdbTableDef *table = m_table.get();
    // Recordsets share the handle and its page buffer: bring back this table's page
    // if another recordset has read a different one since.
    if (table->cur_pg_num != 0 && mdb->cur_pg != table->cur_phys_pg)
        mdb_read_pg(mdb, table->cur_phys_pg);
    if (!mdb_fetch_row(table)) {
        m_atEnd = true;
        m_null = true;
        m_stored.clear();
        return {};
    }
    const int start = m_column->cur_value_start;
    const int length = m_column->cur_value_len;
    m_null = length <= 0;
    m_stored.clear();
    if (m_null)
        return {};
    if (start < 0 || static_cast<size_t>(start) + static_cast<size_t>(length) > kJetPageSize)
        return contentError(ContentError::DamagedDatabase, m_database->name());
    if (isLongType(m_column->col_type) || m_column->col_type == MDB_TEXT) {
        m_stored.assign(reinterpret_cast<const char *>(mdb->pg_buf) + start, static_cast<size_t>(length));
    } else {
        // Numbers, dates and the like: their text as libmdb formats it.
        char *text = mdb_col_to_string(mdb, mdb->pg_buf, start, m_column->col_type, length);
        if (text) {
            m_stored = text;
            g_free(text);
        }
    }
    return {};
}

bool Cursor::givesText() const
{
    return m_column && (m_column->col_type == MDB_MEMO || m_column->col_type == MDB_TEXT);
}

Result<std::optional<std::string>> Cursor::value() const
{
    if (m_null)
        return std::optional<std::string>();
    switch (m_column->col_type) {
    case MDB_OLE: {
        Result<std::string> bytes = m_database->readLongValue(m_stored, m_fieldName);
        if (!bytes)
            return bytes.error();
        return std::optional<std::string>(std::move(bytes.value()));
    }
    case MDB_MEMO: {
        Result<std::string> bytes = m_database->readLongValue(m_stored, m_fieldName);
        if (!bytes)
            return bytes.error();
        return std::optional<std::string>(jetTextToUtf8(bytes.value()));
    }
    case MDB_TEXT:
        return std::optional<std::string>(jetTextToUtf8(m_stored));
    default:
        return std::optional<std::string>(m_stored);
    }
}

} // namespace velmora::content
