#include "content/database.h"

#include "common/casepath.h"
#include "content/contenterror.h"
#include "content/jettext.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <system_error>

namespace velmora::content {
namespace {

// The reader keeps the file in memory; a book database is a few MiB.
constexpr uint64_t kMaxFileBytes = uint64_t(1) << 30;
// A long value may not claim more than this, whatever its header says.
constexpr uint32_t kMaxLongValueBytes = 256u << 20;
constexpr size_t kMaxTableDefPages = 256;

using Page = std::array<uint8_t, kJetPageSize>;

// Where row `row` of a data page lies; std::nullopt when the page's row table does not
// hold it. Rows are stored from the end of the page downwards.
std::optional<std::pair<size_t, size_t>> findRow(const Page &page, size_t row)
{
    const size_t count = readLe16(&page[kRowCountOffset]);
    const size_t tableEnd = kRowTableOffset + 2 * count;
    if (row >= count || tableEnd > kJetPageSize)
        return std::nullopt;
    const size_t start = readLe16(&page[kRowTableOffset + 2 * row]) & kRowOffsetMask;
    const size_t end =
        row == 0 ? kJetPageSize : readLe16(&page[kRowTableOffset + 2 * (row - 1)]) & kRowOffsetMask;
    if (start < tableEnd || start > end || end > kJetPageSize)
        return std::nullopt;
    return std::make_pair(start, end - start);
}

} // namespace

void TableDefDeleter::operator()(MdbTableDef *table) const
{
    if (table)
        mdb_free_tabledef(table);
}

Database::~Database()
{
    if (m_handle)
        mdb_close(m_handle);
}

Error Database::damaged() const
{
    return contentError(ContentError::DamagedDatabase, m_name);
}

Result<std::shared_ptr<Database>> Database::openFile(const std::string &path,
                                                     const std::optional<std::string> &password)
{
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status))
        return contentError(ContentError::FileNotFound, path);
    // Only a regular file: a folder cannot be read, and a pipe would block the open.
    if (!std::filesystem::is_regular_file(status))
        return contentError(ContentError::CannotOpenFile, path);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return contentError(ContentError::CannotOpenFile, path);
    const uint64_t size = std::filesystem::file_size(path, ec);
    if (ec)
        return contentError(ContentError::CannotOpenFile, path);
    if (size > kMaxFileBytes)
        return contentError(ContentError::UnrecognizedFormat, path);
    std::string image(size, '\0');
    if (!in.read(image.data(), static_cast<std::streamsize>(size)) ||
        in.gcount() != static_cast<std::streamsize>(size))
        return contentError(ContentError::CannotOpenFile, path);
    return openImage(std::move(image), path, password);
}

Result<std::shared_ptr<Database>> Database::openImage(std::string image, std::string_view name,
                                                      const std::optional<std::string> &password)
{
    std::shared_ptr<Database> db(new Database);
    db->m_image = std::move(image);
    db->m_name = std::string(name);
    const auto *bytes = reinterpret_cast<const uint8_t *>(db->m_image.data());
    Result<JetHeader> header = parseJetHeader({bytes, db->m_image.size()}, name);
    if (!header)
        return header.error();
    if (header->version != JetVersion::Jet4)
        return contentError(ContentError::UnrecognizedFormat, name);
    db->m_header = *header;
    // The engine checks the password before it reads anything else. A password given
    // for a file that has none is not needed, and not an error.
    if (db->m_header.hasPassword() && !db->m_header.passwordMatches(password.value_or("")))
        return contentError(ContentError::BadPassword);
    if (Result<void> valid = db->validateStructure(); !valid)
        return valid.error();
    db->m_handle = mdb_open_buffer(db->m_image.data(), db->m_image.size(), MDB_NOFLAGS);
    if (!db->m_handle)
        return contentError(ContentError::UnrecognizedFormat, name);
    // Long values are read by readLongValue, never through libmdb's bind buffers, so
    // the default bind size is never a limit.
    if (Result<void> catalog = db->readCatalog(); !catalog)
        return catalog.error();
    return db;
}

bool Database::readPage(uint32_t page, Page &out) const
{
    if (page >= pageCount())
        return false;
    std::memcpy(out.data(), m_image.data() + size_t(page) * kJetPageSize, kJetPageSize);
    if (page != 0 && m_header.pageKey != 0)
        applyPageKey(m_header.pageKey, page, out);
    return true;
}

Result<void> Database::validateStructure()
{
    // Whole pages only: a cut-off file is damaged, not a short table.
    if (m_image.size() % kJetPageSize != 0 || pageCount() < 3)
        return damaged();
    return validateTableDef(kCatalogTableDefPage);
}

// libmdb trusts a table definition's counts and usage-map pointers; a map pointer to
// a row that does not exist makes it copy from a wild address. Everything it will
// follow is checked here first.
Result<void> Database::validateTableDef(uint32_t first) const
{
    Page page;
    if (!readPage(first, page) || page[kPageTypeOffset] != static_cast<uint8_t>(PageType::TableDef))
        return damaged();
    const size_t numCols = readLe16(&page[kTdefColumnCount]);
    const size_t numRealIdx = readLe32(&page[kTdefRealIndexCount]);
    if (numCols == 0 || numRealIdx > 1000)
        return damaged();
    for (size_t mapOffset : {kTdefOwnedMap, kTdefFreeMap}) {
        const uint32_t map = readLe32(&page[mapOffset]);
        Page mapPage;
        if (!readPage(pgRowPage(map), mapPage))
            return damaged();
        const auto row = findRow(mapPage, pgRowRow(map));
        if (!row || row->second < kMapMinimumBytes)
            return damaged();
    }
    // The definition may continue on further pages; what it declares must fit in them.
    std::set<uint32_t> seen{first};
    size_t available = kJetPageSize;
    uint32_t next = readLe32(&page[kTdefNextPage]);
    while (next != 0) {
        if (seen.size() >= kMaxTableDefPages || !seen.insert(next).second)
            return damaged();
        Page more;
        if (!readPage(next, more) || more[kPageTypeOffset] != static_cast<uint8_t>(PageType::TableDef))
            return damaged();
        available += kJetPageSize - kTdefContinuationHeader;
        next = readLe32(&more[kTdefNextPage]);
    }
    if (kTdefColumnsStart + kRealIndexEntry * numRealIdx + kColumnEntry * numCols > available)
        return damaged();
    return {};
}

Result<void> Database::readCatalog()
{
    constexpr size_t kMaxCatalogRows = 100000;
    MdbCatalogEntry catalog{};
    catalog.mdb = m_handle;
    std::strcpy(catalog.object_name, "MSysObjects");
    catalog.object_type = MDB_TABLE;
    catalog.table_pg = kCatalogTableDefPage;
    TablePtr table(mdb_read_table(&catalog));
    if (!table || !mdb_read_columns(table.get()))
        return damaged();
    MdbColumn *id = nullptr, *name = nullptr, *type = nullptr, *flags = nullptr;
    for (guint i = 0; i < table->columns->len; ++i) {
        auto *column = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
        for (auto [wanted, slot] :
             {std::pair{"Id", &id}, {"Name", &name}, {"Type", &type}, {"Flags", &flags}}) {
            if (equalsIgnoringAsciiCase(column->name, wanted))
                *slot = column;
        }
    }
    if (!id || !name || !type || !flags)
        return damaged();
    // A fixed column's bytes in the current row, or nothing when Null or out of bounds.
    auto field = [&](const MdbColumn *column, size_t minimum) -> std::optional<std::string_view> {
        if (column->cur_value_len <= 0 || column->cur_value_start < 0 ||
            static_cast<size_t>(column->cur_value_start) + static_cast<size_t>(column->cur_value_len) >
                kJetPageSize ||
            static_cast<size_t>(column->cur_value_len) < minimum)
            return std::nullopt;
        return std::string_view(reinterpret_cast<const char *>(m_handle->pg_buf) + column->cur_value_start,
                                static_cast<size_t>(column->cur_value_len));
    };
    mdb_rewind_table(table.get());
    for (size_t rows = 0; mdb_fetch_row(table.get()); ++rows) {
        if (rows >= kMaxCatalogRows)
            return damaged();
        const auto idBytes = field(id, 4), typeBytes = field(type, 2), nameBytes = field(name, 1);
        if (!idBytes || !typeBytes || !nameBytes)
            continue;
        const auto *typeData = reinterpret_cast<const uint8_t *>(typeBytes->data());
        if ((readLe16(typeData) & kCatalogTypeMask) != kCatalogTableType)
            continue;
        auto entry = std::make_unique<MdbCatalogEntry>();
        *entry = MdbCatalogEntry{};
        entry->mdb = m_handle;
        const std::string text = jetTextToUtf8(*nameBytes);
        std::strncpy(entry->object_name, text.c_str(), MDB_MAX_OBJ_NAME);
        entry->object_type = MDB_TABLE;
        entry->table_pg = readLe32(reinterpret_cast<const uint8_t *>(idBytes->data())) & kCatalogIdPageMask;
        if (const auto flagBytes = field(flags, 4))
            entry->flags = static_cast<int>(readLe32(reinterpret_cast<const uint8_t *>(flagBytes->data())) &
                                            kCatalogSystemFlags);
        m_tables.push_back(std::move(entry));
    }
    return {};
}

std::vector<std::string> Database::tableNames() const
{
    std::vector<std::string> names;
    for (const auto &entry : m_tables) {
        if (entry->flags == 0)
            names.emplace_back(entry->object_name);
    }
    return names;
}

Result<TablePtr> Database::openTable(std::string_view name)
{
    MdbCatalogEntry *found = nullptr;
    for (const auto &entry : m_tables) {
        if (equalsIgnoringAsciiCase(entry->object_name, name)) {
            found = entry.get();
            break;
        }
    }
    if (!found)
        return contentError(ContentError::TableNotFound, name);
    if (found->table_pg > UINT32_MAX)
        return damaged();
    if (Result<void> valid = validateTableDef(static_cast<uint32_t>(found->table_pg)); !valid)
        return valid.error();
    TablePtr table(mdb_read_table(found));
    if (!table || !mdb_read_columns(table.get()))
        return damaged();
    mdb_rewind_table(table.get());
    return table;
}

Result<size_t> Database::countRows(std::string_view name)
{
    Result<TablePtr> table = openTable(name);
    if (!table)
        return table.error();
    size_t rows = 0;
    while (mdb_fetch_row(table->get()))
        ++rows;
    return rows;
}

Result<std::string> Database::readLongValue(std::string_view fieldBytes, std::string_view field) const
{
    if (fieldBytes.size() < kLongValueHeader)
        return damaged();
    const auto *hdr = reinterpret_cast<const uint8_t *>(fieldBytes.data());
    const uint32_t word = readLe32(hdr);
    const uint32_t length = word & kLongValueLengthMask;
    const uint32_t start = readLe32(hdr + kLongValuePgRow);
    if (length > kMaxLongValueBytes)
        return contentError(ContentError::ValueTooLarge, field);
    if (length > m_image.size())
        return damaged(); // a value cannot be larger than the file that holds it
    if (word & kLongValueInline) {
        if (fieldBytes.size() - kLongValueHeader < length)
            return damaged();
        return std::string(fieldBytes.substr(kLongValueHeader, length));
    }
    Page page;
    uint32_t loaded = UINT32_MAX;
    auto load = [&](uint32_t number) {
        if (number == loaded)
            return true;
        if (!readPage(number, page) || page[kPageTypeOffset] != static_cast<uint8_t>(PageType::Data))
            return false;
        loaded = number;
        return true;
    };
    if (word & kLongValueOneRow) {
        if (!load(pgRowPage(start)))
            return damaged();
        const auto row = findRow(page, pgRowRow(start));
        if (!row || row->second < length)
            return damaged();
        return std::string(reinterpret_cast<const char *>(page.data() + row->first), length);
    }
    // A chain of rows, each: the next link's pg_row, then a chunk of the value.
    std::string value;
    value.reserve(length);
    uint32_t next = start;
    while (value.size() < length) {
        if (next == 0 || !load(pgRowPage(next)))
            return damaged();
        const auto row = findRow(page, pgRowRow(next));
        if (!row || row->second < kLongValueLink)
            return damaged();
        next = readLe32(page.data() + row->first);
        const size_t chunk = std::min(row->second - kLongValueLink, length - value.size());
        if (chunk == 0)
            return damaged(); // an empty link could chain forever
        value.append(reinterpret_cast<const char *>(page.data() + row->first + kLongValueLink), chunk);
    }
    return value;
}

} // namespace velmora::content
