#include "content/jetwriter.h"

#include "content/contenterror.h"
#include "content/jetheader.h"
#include "content/jetpages.h"
#include "content/jettext.h"

#include <cstring>
#include <fstream>
#include <system_error>

namespace velmora::content {
namespace {

using namespace jetwriter;

// File layout: 0 header · 1 usage maps · 2 catalog definition · 3 catalog rows ·
// 4 page-table definition · then its data pages · then the long-value pages.
constexpr uint32_t kMapPage = 1;
constexpr uint32_t kCatalogDataPage = 3;
constexpr uint32_t kTableDefPage = 4;
constexpr uint32_t kFirstDataPage = 5;
static_assert(kCatalogTableDefPage == 2);

constexpr uint32_t kMaxValueBytes = (1u << 24) - 1;
constexpr uint16_t kWesternCodePage = 1252;

const std::vector<Column> &catalogColumns()
{
    using enum ColumnType;
    static const std::vector<Column> columns{
        {"Id", Long, 4, true},
        {"ParentId", Long, 4, true},
        {"Name", Text, 510, false},
        {"Type", Integer, 2, true},
        {"DateCreate", DateTime, 8, true},
        {"DateUpdate", DateTime, 8, true},
        {"Owner", Binary, 255, false},
        {"Flags", Long, 4, true},
        {"Database", Memo, 0, false},
        {"Connect", Memo, 0, false},
        {"ForeignName", Text, 510, false},
        {"RmtInfoShort", Binary, 255, false},
        {"RmtInfoLong", Ole, 0, false},
        {"Lv", Ole, 0, false},
        {"LvProp", Ole, 0, false},
        {"LvModule", Ole, 0, false},
        {"LvExtra", Ole, 0, false},
    };
    return columns;
}

Bytes catalogRow(uint32_t id, uint32_t parentId, const std::string &name, uint16_t type, uint32_t flags,
                 double date)
{
    auto number = [](uint32_t value, size_t width) {
        Bytes bytes;
        (width == 2 ? writeLe16 : writeLe32)(bytes, 0, value);
        return bytes;
    };
    const Bytes dateBytes(reinterpret_cast<const char *>(&date), sizeof date);
    std::vector<std::optional<Bytes>> fields(catalogColumns().size());
    fields[0] = number(id, 4);
    fields[1] = number(parentId, 4);
    fields[2] = utf8ToUtf16le(name);
    fields[3] = number(type, 2);
    fields[4] = dateBytes;
    fields[5] = dateBytes;
    fields[7] = number(flags, 4);
    return packRow(catalogColumns(), fields);
}

Bytes headerPage(const JetWriteOptions &options)
{
    Bytes page(kJetPageSize, '\0');
    page[kPageTypeOffset + 1] = static_cast<char>(kPageMarker);
    std::memcpy(page.data() + kMagicOffset, kJetMagic, sizeof kJetMagic);
    page[kVersionOffset] = static_cast<char>(JetVersion::Jet4);
    // The region's first bytes as the engine writes them; readers ignore them.
    static constexpr uint8_t kRegionStart[] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0,
                                               3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    std::memcpy(page.data() + kHeaderRegionStart, kRegionStart, sizeof kRegionStart);
    writeLe16(page, kCodePageOffset, kWesternCodePage);
    writeLe32(page, kPageKeyOffset, options.pageKey);
    writeLe32(page, kLocaleOffset, kEnglishLocale);
    std::memcpy(page.data() + kCreationDateOffset, &options.creationDate, sizeof options.creationDate);
    // The password area always carries the date mask, also when there is no password.
    const Bytes password = utf8ToUtf16le(options.password);
    const std::array<uint8_t, 4> mask = passwordMask(options.creationDate);
    for (size_t i = 0; i < kPasswordBytes; ++i) {
        const uint8_t plain = i < password.size() ? static_cast<uint8_t>(password[i]) : 0;
        page[kPasswordOffset + i] = static_cast<char>(plain ^ mask[i % 4]);
    }
    static constexpr uint8_t kVersionText[] = {0x54, 0x06, 0x00, 0x00, '4', '.', '0', 0};
    std::memcpy(page.data() + kVersionTextOffset, kVersionText, sizeof kVersionText);
    rc4Apply(kHeaderKey,
             std::span(reinterpret_cast<uint8_t *>(page.data()) + kHeaderRegionStart, kHeaderRegionSize));
    return page;
}

Error writeError(const std::string &what)
{
    return Error(errnum::Unspecified, "Jet writer: " + what);
}

// The book table's rows, each value stored through `store`.
Result<std::vector<Bytes>> packBookRows(const BookTable &table, const std::vector<Column> &columns,
                                        LongValueStore &store, const JetWriteOptions::Progress &progress)
{
    std::vector<Bytes> rows;
    rows.reserve(table.rows.size());
    for (size_t i = 0; i < table.rows.size(); ++i) {
        std::vector<std::optional<Bytes>> fields(1);
        if (const auto &value = table.rows[i]) {
            std::string stored = *value;
            if (table.fieldType == FieldType::Memo) {
                // A leading U+FEFF would read back as the marker of compressed text.
                if (stored.starts_with("\xEF\xBB\xBF"))
                    stored.erase(0, 3);
                stored = utf8ToUtf16le(stored);
            }
            if (stored.size() > kMaxValueBytes)
                return writeError("row " + std::to_string(i) + " holds more than 16 MiB");
            fields[0] = store.field(stored);
        }
        rows.push_back(packRow(columns, fields));
        if (progress && (i % 256 == 255 || i + 1 == table.rows.size()))
            progress(i + 1, table.rows.size());
    }
    return rows;
}

std::vector<DataPage> layOutRows(const std::vector<Bytes> &rows)
{
    std::vector<DataPage> pages;
    for (const Bytes &row : rows) {
        if (pages.empty() || !pages.back().fits(row.size()))
            pages.emplace_back(kTableDefPage);
        pages.back().add(row);
    }
    return pages;
}

// Page 1: every usage map. The book table's map lists only its data pages; long-value
// pages are listed in the long-value map, as the engine keeps them.
struct MapPage {
    DataPage page{0};
    TableMaps catalog{};
    TableMaps book{};
};

Result<MapPage> usageMapPage(uint32_t dataPageCount, uint32_t longValueFirst, uint32_t longValueCount)
{
    MapPage maps;
    DataPage &page = maps.page;
    auto add = [&](const Bytes &map) { return pgRow(kMapPage, page.add(map)); };
    add(usageMap(0, 0)); // the global map, which the engine reads at open
    maps.catalog.owned = add(usageMap(kCatalogDataPage, 1));
    maps.catalog.free = add(usageMap(0, 0));
    const Bytes ownedMap = usageMap(kFirstDataPage, dataPageCount);
    // Room for it, and for the three small maps still to come with their row-table entries.
    if (!page.fits(ownedMap.size() + 3 * (usageMapSize(0) + 2) + 2))
        return writeError("too many rows for one usage map");
    maps.book.owned = add(ownedMap);
    maps.book.free = add(usageMap(0, 0));
    const uint32_t longValueFree = add(usageMap(0, 0));
    // Nothing reads the long-value map; it covers as many pages as page 1 has room for.
    uint32_t covered = longValueCount;
    while (covered > 0 && !page.fits(usageMapSize(covered)))
        covered /= 2;
    const uint32_t longValueUsed = add(usageMap(longValueFirst, covered));
    for (TableMaps *table : {&maps.catalog, &maps.book}) {
        table->longValuesUsed = longValueUsed;
        table->longValuesFree = longValueFree;
    }
    return maps;
}

// Page 3: the catalog's rows: the folder of tables, the catalog itself and the book table.
DataPage catalogPage(const std::string &tableName, double date)
{
    constexpr uint32_t kTablesId = 0x0F000001, kRootId = 0x0F000000;
    constexpr uint32_t kSystemObject = 0x80000000u;
    DataPage catalog(kCatalogTableDefPage);
    catalog.add(catalogRow(kTablesId, kRootId, "Tables", kCatalogContainerType, 0, date));
    catalog.add(
        catalogRow(kCatalogTableDefPage, kTablesId, "MSysObjects", kCatalogTableType, kSystemObject, date));
    catalog.add(catalogRow(kTableDefPage, kTablesId, tableName, kCatalogTableType, 0, date));
    return catalog;
}

void encodePages(std::string &image, uint32_t pageKey)
{
    if (pageKey == 0)
        return;
    for (uint32_t page = 1; page < image.size() / kJetPageSize; ++page)
        applyPageKey(
            pageKey, page,
            std::span(reinterpret_cast<uint8_t *>(image.data()) + size_t(page) * kJetPageSize, kJetPageSize));
}

} // namespace

Result<std::string> buildJetDatabase(const BookTable &table, const JetWriteOptions &options)
{
    if (utf8ToUtf16le(options.password).size() > kPasswordBytes)
        return writeError("the database password is longer than 20 characters");
    if (table.tableName.empty() || table.fieldName.empty())
        return writeError("the table and the field need names");
    const ColumnType type = table.fieldType == FieldType::Memo ? ColumnType::Memo : ColumnType::Ole;
    const std::vector<Column> bookColumns{{table.fieldName, type, 0, false}};

    // The long-value pages follow the data pages, so their numbers are known once the
    // data pages are counted: the rows are packed twice, once to count, once for real.
    LongValueStore probe(0);
    Result<std::vector<Bytes>> counted = packBookRows(table, bookColumns, probe, {});
    if (!counted)
        return counted.error();
    const auto dataPageCount = static_cast<uint32_t>(layOutRows(*counted).size());
    const uint32_t longValueFirst = kFirstDataPage + dataPageCount;
    LongValueStore store(longValueFirst);
    Result<std::vector<Bytes>> rows = packBookRows(table, bookColumns, store, options.progress);
    if (!rows)
        return rows.error();
    Result<MapPage> maps =
        usageMapPage(dataPageCount, longValueFirst, static_cast<uint32_t>(store.pages().size()));
    if (!maps)
        return maps.error();

    Bytes image = headerPage(options);
    image += maps->page.bytes();
    image += tableDef(catalogColumns(), true, 3, maps->catalog);
    image += catalogPage(table.tableName, options.creationDate).bytes();
    image += tableDef(bookColumns, false, static_cast<uint32_t>(table.rows.size()), maps->book);
    for (const DataPage &page : layOutRows(*rows))
        image += page.bytes();
    for (const DataPage &page : store.pages())
        image += page.bytes();
    encodePages(image, options.pageKey);
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
