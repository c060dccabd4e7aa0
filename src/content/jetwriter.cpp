#include "content/jetwriter.h"

#include "content/contenterror.h"
#include "content/jetheader.h"
#include "content/jettext.h"

#include <cstring>
#include <fstream>
#include <system_error>

namespace velmora::content {
namespace {

// File layout: 0 header · 1 usage maps · 2 catalog definition · 3 catalog rows ·
// 4 page-table definition · then its data pages · then the long-value pages.
constexpr uint32_t kMapPage = 1;
constexpr uint32_t kCatalogDefPage = 2;
constexpr uint32_t kCatalogDataPage = 3;
constexpr uint32_t kTableDefPage = 4;
constexpr uint32_t kFirstDataPage = 5;

constexpr size_t kPageSize = kJetPageSize;
constexpr size_t kPageHeader = 14;      // data page: type, free space, owner, 0, row count
constexpr size_t kMaxRowsPerPage = 255; // a pg_row keeps the row number in one byte
constexpr size_t kInlineMax = 64;       // longer values go to long-value pages
constexpr size_t kChunkMax = 4072;      // one chain link: 4 + 4072 bytes, one per page
constexpr size_t kMapBitmapBytes = 64;  // the size the engine writes: 512 pages
constexpr uint32_t kMaxValueBytes = (1u << 24) - 1;

constexpr uint8_t kTypeInteger = 0x03, kTypeLong = 0x04, kTypeDateTime = 0x08, kTypeBinary = 0x09,
                  kTypeText = 0x0A, kTypeOle = 0x0B, kTypeMemo = 0x0C;

using Bytes = std::string;

void put16(Bytes &b, size_t at, uint32_t v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void put32(Bytes &b, size_t at, uint32_t v)
{
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}
void append16(Bytes &b, uint32_t v)
{
    b.append(2, '\0');
    put16(b, b.size() - 2, v);
}
void append32(Bytes &b, uint32_t v)
{
    b.append(4, '\0');
    put32(b, b.size() - 4, v);
}
uint32_t pgRow(uint32_t page, size_t row)
{
    return page << 8 | static_cast<uint32_t>(row);
}

// A data page filled from the end downwards, as the engine stores rows.
class DataPage {
public:
    explicit DataPage(uint32_t owner, bool longValues = false) : m_bytes(kPageSize, '\0')
    {
        m_bytes[0] = 0x01;
        m_bytes[1] = 0x01;
        if (longValues)
            std::memcpy(m_bytes.data() + 4, "LVAL", 4);
        else
            put32(m_bytes, 4, owner);
    }
    size_t rows() const { return m_rowCount; }
    bool fits(size_t rowBytes) const
    {
        return m_rowCount < kMaxRowsPerPage && kPageHeader + 2 * (m_rowCount + 1) + rowBytes <= m_end;
    }
    size_t add(std::string_view row)
    {
        m_end -= row.size();
        std::memcpy(m_bytes.data() + m_end, row.data(), row.size());
        put16(m_bytes, kPageHeader + 2 * m_rowCount, static_cast<uint32_t>(m_end));
        ++m_rowCount;
        put16(m_bytes, 0x0C, static_cast<uint32_t>(m_rowCount));
        put16(m_bytes, 2, static_cast<uint32_t>(m_end - kPageHeader - 2 * m_rowCount));
        return m_rowCount - 1;
    }
    Bytes &bytes() { return m_bytes; }

private:
    Bytes m_bytes;
    size_t m_rowCount = 0;
    size_t m_end = kPageSize;
};

// A type-0 usage map: start page, then one bit per page from it.
Bytes usageMap(uint32_t start, uint32_t count, size_t bitmapBytes = kMapBitmapBytes)
{
    Bytes map(1, '\0');
    append32(map, start);
    map.append(std::max(bitmapBytes, size_t(count + 7) / 8), '\0');
    for (uint32_t i = 0; i < count; ++i)
        map[5 + i / 8] = static_cast<char>(map[5 + i / 8] | (1 << (i % 8)));
    return map;
}

struct Column {
    std::string name;
    uint8_t type;
    uint16_t size; // fixed size, or the declared size of a variable column
    bool fixed;
};

// A table definition page for `columns`, with the given usage-map pointers and, for
// each long column, the pointers of its long-value maps.
Bytes tableDef(const std::vector<Column> &columns, bool system, uint32_t rowCount, uint32_t ownedMap,
               uint32_t freeMap, uint32_t lvUsedMap, uint32_t lvFreeMap)
{
    Bytes def(63, '\0');
    def[0] = 0x02;
    def[1] = 0x01;
    put32(def, 12, 0x0659);
    put32(def, 16, rowCount);
    put32(def, 20, 1);
    def[24] = 1;
    def[40] = system ? 0x53 : 0x4E;
    uint16_t varCount = 0;
    for (const Column &c : columns)
        varCount += c.fixed ? 0 : 1;
    put16(def, 41, static_cast<uint32_t>(columns.size()));
    put16(def, 43, varCount);
    put16(def, 45, static_cast<uint32_t>(columns.size()));
    put32(def, 55, ownedMap);
    put32(def, 59, freeMap);
    uint16_t fixedOffset = 0;
    uint16_t varIndex = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        const Column &c = columns[i];
        Bytes entry(25, '\0');
        entry[0] = static_cast<char>(c.type);
        put32(entry, 1, 0x0659);
        put16(entry, 5, static_cast<uint32_t>(i));
        put16(entry, 7, c.fixed ? 0 : varIndex);
        put16(entry, 9, static_cast<uint32_t>(i));
        if (c.type == kTypeText || c.type == kTypeMemo) {
            put16(entry, 11, 0x0409);
            entry[16] = 0x01; // compressed text allowed
        }
        entry[15] = static_cast<char>(c.fixed ? 0x03 : 0x02);
        put16(entry, 21, c.fixed ? fixedOffset : 0);
        put16(entry, 23, c.size);
        if (c.fixed)
            fixedOffset = static_cast<uint16_t>(fixedOffset + c.size);
        else
            ++varIndex;
        def += entry;
    }
    for (const Column &c : columns) {
        const Bytes name = utf8ToUtf16le(c.name);
        append16(def, static_cast<uint32_t>(name.size()));
        def += name;
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].type != kTypeOle && columns[i].type != kTypeMemo)
            continue;
        append16(def, static_cast<uint32_t>(i));
        append32(def, lvUsedMap);
        append32(def, lvFreeMap);
    }
    append16(def, 0xFFFF);
    def.append(8, '\0');
    put32(def, 8, static_cast<uint32_t>(def.size() - 8));
    put16(def, 2, static_cast<uint32_t>(kPageSize - def.size()));
    def.resize(kPageSize, '\0');
    return def;
}

// One row in the engine's Jet 4 layout: column count, fixed area, variable data, the
// variable offsets (last column first) with end-of-data and count, then the null mask.
struct FieldData {
    std::optional<Bytes> value;
};
Bytes packRow(const std::vector<Column> &columns, const std::vector<FieldData> &fields)
{
    Bytes row;
    append16(row, static_cast<uint32_t>(columns.size()));
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!columns[i].fixed)
            continue;
        Bytes value = fields[i].value.value_or(Bytes());
        value.resize(columns[i].size, '\0');
        row += value;
    }
    std::vector<uint16_t> offsets;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].fixed)
            continue;
        offsets.push_back(static_cast<uint16_t>(row.size()));
        if (fields[i].value)
            row += *fields[i].value;
    }
    if (!offsets.empty()) {
        append16(row, static_cast<uint32_t>(row.size()));
        for (auto it = offsets.rbegin(); it != offsets.rend(); ++it)
            append16(row, *it);
        append16(row, static_cast<uint32_t>(offsets.size()));
    }
    Bytes mask((columns.size() + 7) / 8, '\0');
    for (size_t i = 0; i < columns.size(); ++i) {
        if (fields[i].value)
            mask[i / 8] = static_cast<char>(mask[i / 8] | (1 << (i % 8)));
    }
    return row + mask;
}

Bytes le32(uint32_t v)
{
    Bytes b(4, '\0');
    put32(b, 0, v);
    return b;
}
Bytes le16(uint32_t v)
{
    Bytes b(2, '\0');
    put16(b, 0, v);
    return b;
}
Bytes leDouble(double d)
{
    Bytes b(8, '\0');
    std::memcpy(b.data(), &d, 8);
    return b;
}

const std::vector<Column> &catalogColumns()
{
    static const std::vector<Column> columns{
        {"Id", kTypeLong, 4, true},
        {"ParentId", kTypeLong, 4, true},
        {"Name", kTypeText, 510, false},
        {"Type", kTypeInteger, 2, true},
        {"DateCreate", kTypeDateTime, 8, true},
        {"DateUpdate", kTypeDateTime, 8, true},
        {"Owner", kTypeBinary, 255, false},
        {"Flags", kTypeLong, 4, true},
        {"Database", kTypeMemo, 0, false},
        {"Connect", kTypeMemo, 0, false},
        {"ForeignName", kTypeText, 510, false},
        {"RmtInfoShort", kTypeBinary, 255, false},
        {"RmtInfoLong", kTypeOle, 0, false},
        {"Lv", kTypeOle, 0, false},
        {"LvProp", kTypeOle, 0, false},
        {"LvModule", kTypeOle, 0, false},
        {"LvExtra", kTypeOle, 0, false},
    };
    return columns;
}

Bytes catalogRow(uint32_t id, uint32_t parentId, const std::string &name, uint16_t type, uint32_t flags,
                 double date)
{
    std::vector<FieldData> fields(catalogColumns().size());
    fields[0].value = le32(id);
    fields[1].value = le32(parentId);
    fields[2].value = utf8ToUtf16le(name);
    fields[3].value = le16(type);
    fields[4].value = leDouble(date);
    fields[5].value = leDouble(date);
    fields[7].value = le32(flags);
    return packRow(catalogColumns(), fields);
}

// Long-value pages, filled row after row; a new page starts when a row does not fit.
class LongValueStore {
public:
    explicit LongValueStore(uint32_t firstPage) : m_firstPage(firstPage) {}
    // Reserves a row of `size` bytes; gives its pg_row.
    uint32_t reserve(size_t size)
    {
        if (m_pages.empty() || !m_pages.back().fits(size))
            m_pages.emplace_back(0, true);
        const size_t row = m_pages.back().add(Bytes(size, '\0'));
        return pgRow(m_firstPage + static_cast<uint32_t>(m_pages.size() - 1), row);
    }
    void fill(uint32_t where, std::string_view bytes)
    {
        DataPage &page = m_pages[(where >> 8) - m_firstPage];
        const size_t row = where & 0xFF;
        const size_t start = static_cast<uint8_t>(page.bytes()[kPageHeader + 2 * row]) |
                             static_cast<uint8_t>(page.bytes()[kPageHeader + 2 * row + 1]) << 8;
        std::memcpy(page.bytes().data() + start, bytes.data(), bytes.size());
    }
    std::vector<DataPage> &pages() { return m_pages; }

private:
    uint32_t m_firstPage;
    std::vector<DataPage> m_pages;
};

// The 12-byte long-value header (and inline data) that the table row holds for `value`,
// storing the bytes in `store` when they do not stay inline.
Bytes longValueField(std::string_view value, LongValueStore &store)
{
    Bytes field;
    const auto length = static_cast<uint32_t>(value.size());
    if (value.size() <= kInlineMax) {
        append32(field, 0x80000000u | length);
        append32(field, 0);
        append32(field, 0);
        field += value;
        return field;
    }
    if (value.size() <= kChunkMax) {
        const uint32_t where = store.reserve(value.size());
        store.fill(where, value);
        append32(field, 0x40000000u | length);
        append32(field, where);
        append32(field, 0);
        return field;
    }
    // A chain: each link holds the pg_row of the next (0 on the last) and a chunk.
    std::vector<uint32_t> links;
    for (size_t done = 0; done < value.size(); done += kChunkMax)
        links.push_back(store.reserve(4 + std::min(kChunkMax, value.size() - done)));
    for (size_t i = 0; i < links.size(); ++i) {
        Bytes link = le32(i + 1 < links.size() ? links[i + 1] : 0);
        link += value.substr(i * kChunkMax, kChunkMax);
        store.fill(links[i], link);
    }
    append32(field, length);
    append32(field, links[0]);
    append32(field, 0);
    return field;
}

Bytes headerPage(const JetWriteOptions &options)
{
    Bytes page(kPageSize, '\0');
    page[1] = 0x01;
    std::memcpy(page.data() + 4, "Standard Jet DB", 16);
    page[0x14] = 0x01;
    // The region's first bytes as the engine writes them; readers ignore them.
    static constexpr uint8_t kRegionStart[] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0,
                                               3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    std::memcpy(page.data() + kHeaderRegionStart, kRegionStart, sizeof kRegionStart);
    put16(page, 0x3C, 1252);
    put32(page, kPageKeyOffset, options.pageKey);
    put32(page, 0x6E, 0x0409);
    std::memcpy(page.data() + kCreationDateOffset, &options.creationDate, 8);
    // The password area always carries the date mask, also when there is no password.
    const Bytes password = utf8ToUtf16le(options.password);
    const std::array<uint8_t, 4> mask = passwordMask(options.creationDate);
    for (size_t i = 0; i < kPasswordBytes; ++i) {
        const uint8_t plain = i < password.size() ? static_cast<uint8_t>(password[i]) : 0;
        page[kPasswordOffset + i] = static_cast<char>(plain ^ mask[i % 4]);
    }
    static constexpr uint8_t kVersionText[] = {0x54, 0x06, 0x00, 0x00, '4', '.', '0', 0};
    std::memcpy(page.data() + 0x98, kVersionText, sizeof kVersionText);
    static constexpr uint8_t kHeaderKey[] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4Apply(kHeaderKey,
             std::span(reinterpret_cast<uint8_t *>(page.data()) + kHeaderRegionStart, kHeaderRegionSize));
    return page;
}

Error writeError(const std::string &what)
{
    return Error(errnum::Unspecified, "Jet writer: " + what);
}

} // namespace

Result<std::string> buildJetDatabase(const BookTable &table, const JetWriteOptions &options)
{
    if (utf8ToUtf16le(options.password).size() > kPasswordBytes)
        return writeError("the database password is longer than 20 characters");
    if (table.tableName.empty() || table.fieldName.empty())
        return writeError("the table and the field need names");
    const bool memo = table.fieldType == FieldType::Memo;
    const std::vector<Column> bookColumns{{table.fieldName, memo ? kTypeMemo : kTypeOle, 0, false}};

    // The table's rows: values first go to the long-value store, whose pages follow
    // the data pages; their numbers are fixed once the data pages are counted, so
    // the rows are packed twice: once to count, once for real.
    auto packAll = [&](bool final, LongValueStore &store, std::vector<Bytes> &rows) -> Result<void> {
        rows.clear();
        for (size_t i = 0; i < table.rows.size(); ++i) {
            const auto &value = table.rows[i];
            std::vector<FieldData> fields(1);
            if (value) {
                std::string stored = *value;
                if (memo) {
                    // A leading U+FEFF would read back as the marker of compressed text.
                    if (stored.starts_with("\xEF\xBB\xBF"))
                        stored.erase(0, 3);
                    stored = utf8ToUtf16le(stored);
                }
                if (stored.size() > kMaxValueBytes)
                    return writeError("row " + std::to_string(i) + " holds more than 16 MiB");
                fields[0].value = longValueField(stored, store);
            }
            rows.push_back(packRow(bookColumns, fields));
            if (final && options.progress && (i % 256 == 255 || i + 1 == table.rows.size()))
                options.progress(i + 1, table.rows.size());
        }
        return {};
    };
    auto layOut = [&](const std::vector<Bytes> &rows) {
        std::vector<DataPage> pages;
        for (const Bytes &row : rows) {
            if (pages.empty() || !pages.back().fits(row.size()))
                pages.emplace_back(kTableDefPage);
            pages.back().add(row);
        }
        return pages;
    };
    std::vector<Bytes> rows;
    LongValueStore probe(0);
    if (Result<void> counted = packAll(false, probe, rows); !counted)
        return counted.error();
    const auto dataPageCount = static_cast<uint32_t>(layOut(rows).size());
    const uint32_t lvalFirst = kFirstDataPage + dataPageCount;
    LongValueStore store(lvalFirst);
    if (Result<void> packed = packAll(true, store, rows); !packed)
        return packed.error();
    std::vector<DataPage> dataPages = layOut(rows);
    const auto lvalCount = static_cast<uint32_t>(store.pages().size());

    // Page 1: every usage map. The table's map lists only its data pages; long-value
    // pages are listed in the long-value map, as the engine keeps them.
    DataPage maps(0);
    maps.add(usageMap(0, 0)); // the global map, which the engine reads at open
    const size_t catalogOwned = maps.add(usageMap(kCatalogDataPage, 1));
    const size_t catalogFree = maps.add(usageMap(0, 0));
    const Bytes ownedMap = usageMap(kFirstDataPage, dataPageCount);
    if (!maps.fits(ownedMap.size() + 3 * (5 + kMapBitmapBytes) + 8))
        return writeError("too many rows for one usage map");
    const size_t bookOwned = maps.add(ownedMap);
    const size_t bookFree = maps.add(usageMap(0, 0));
    const size_t lvFree = maps.add(usageMap(0, 0));
    // Nothing reads the long-value map; it covers as many pages as page 1 has room for.
    uint32_t lvCovered = lvalCount;
    while (lvCovered > 0 && !maps.fits(5 + std::max<size_t>(kMapBitmapBytes, (lvCovered + 7) / 8)))
        lvCovered /= 2;
    const size_t lvUsed = maps.add(usageMap(lvalFirst, lvCovered));

    Bytes image = headerPage(options);
    image += maps.bytes();
    image += tableDef(catalogColumns(), true, 3, pgRow(kMapPage, catalogOwned), pgRow(kMapPage, catalogFree),
                      pgRow(kMapPage, lvUsed), pgRow(kMapPage, lvFree));
    DataPage catalog(kCatalogDefPage);
    const double date = options.creationDate;
    constexpr uint32_t kTablesId = 0x0F000001, kRootId = 0x0F000000;
    catalog.add(catalogRow(kTablesId, kRootId, "Tables", 3, 0, date));
    catalog.add(catalogRow(kCatalogDefPage, kTablesId, "MSysObjects", 1, 0x80000000u, date));
    catalog.add(catalogRow(kTableDefPage, kTablesId, table.tableName, 1, 0, date));
    image += catalog.bytes();
    image +=
        tableDef(bookColumns, false, static_cast<uint32_t>(table.rows.size()), pgRow(kMapPage, bookOwned),
                 pgRow(kMapPage, bookFree), pgRow(kMapPage, lvUsed), pgRow(kMapPage, lvFree));
    for (DataPage &page : dataPages)
        image += page.bytes();
    for (DataPage &page : store.pages())
        image += page.bytes();
    if (options.pageKey != 0) {
        for (uint32_t page = 1; page < image.size() / kPageSize; ++page)
            applyPageKey(
                options.pageKey, page,
                std::span(reinterpret_cast<uint8_t *>(image.data()) + size_t(page) * kPageSize, kPageSize));
    }
    return image;
}

Result<void> writeJetDatabase(const std::filesystem::path &path, const BookTable &table,
                              const JetWriteOptions &options)
{
    Result<std::string> image = buildJetDatabase(table, options);
    if (!image)
        return image.error();
    // Through a temporary file, so that a failed write never leaves half a database.
    std::filesystem::path temporary = path;
    temporary += ".partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(image->data(), static_cast<std::streamsize>(image->size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return writeError("cannot write '" + temporary.string() + "'");
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return writeError("cannot create '" + path.string() + "'");
    }
    return {};
}

} // namespace velmora::content
