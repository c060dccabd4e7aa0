#include "content/recordset.h"

#include "common/casepath.h"
#include "content/contenterror.h"
#include "content/cursor.h"

namespace velmora::content {

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

Result<void> Recordset::open()
{
    if (m_cursor)
        return contentError(ContentError::ObjectOpen);
    if (!m_connection || m_connection->state() != ObjectState::Open)
        return contentError(ContentError::ConnectionInvalid);
    Result<Query> query = parseQuery(m_source);
    if (!query)
        return query.error();
    Result<std::unique_ptr<Cursor>> cursor = Cursor::open(m_connection->database(), *query);
    if (!cursor)
        return cursor.error();
    m_cursor = std::move(cursor.value());
    return {};
}

ObjectState Recordset::state() const
{
    return m_cursor ? ObjectState::Open : ObjectState::Closed;
}

Result<void> Recordset::checkUsable() const
{
    // A recordset over a connection that has been closed since is closed too.
    if (!m_cursor || !m_cursor->database()->isOpen())
        return contentError(ContentError::ObjectClosed);
    return {};
}

Result<void> Recordset::moveFirst()
{
    if (Result<void> usable = checkUsable(); !usable)
        return usable;
    return m_cursor->rewind();
}

Result<void> Recordset::move(long count)
{
    if (Result<void> usable = checkUsable(); !usable)
        return usable;
    if (count < 0)
        return contentError(ContentError::FetchBackward);
    if (m_cursor->atEnd())
        return contentError(ContentError::NoCurrentRecord);
    return m_cursor->advance(count);
}

Result<void> Recordset::moveNext()
{
    return move(1);
}

bool Recordset::bof() const
{
    return m_cursor && m_cursor->empty();
}

bool Recordset::eof() const
{
    return m_cursor && m_cursor->atEnd();
}

Result<FieldValue> Recordset::fields(std::string_view name) const
{
    if (Result<void> usable = checkUsable(); !usable)
        return usable.error();
    if (!equalsIgnoringAsciiCase(name, m_cursor->fieldName()))
        return contentError(ContentError::ItemNotFound);
    if (m_cursor->atEnd())
        return contentError(ContentError::NoCurrentRecord);
    return m_cursor->value();
}

bool Recordset::givesText() const
{
    return m_cursor && m_cursor->givesText();
}

Result<void> Recordset::close()
{
    if (!m_cursor)
        return contentError(ContentError::ObjectClosed);
    m_cursor.reset();
    return {};
}

} // namespace velmora::content
