#include "content/jetpages.h"

#include "content/jettext.h"

#include <algorithm>
#include <cstring>

namespace velmora::content::jetwriter {
namespace {

constexpr size_t kRowTableEntry = 2; // u16 per row

} // namespace

DataPage::DataPage(uint32_t owner, bool longValues) : m_bytes(kJetPageSize, '\0')
{
    m_bytes[kPageTypeOffset] = static_cast<char>(PageType::Data);
    m_bytes[kPageTypeOffset + 1] = static_cast<char>(kPageMarker);
    if (longValues)
        std::memcpy(m_bytes.data() + kDataOwner, kLongValueMark, 4);
    else
        writeLe32(m_bytes, kDataOwner, owner);
}

bool DataPage::fits(size_t rowBytes) const
{
    return m_rowCount < kMaxRowsPerPage &&
           kRowTableOffset + kRowTableEntry * (m_rowCount + 1) + rowBytes <= m_end;
}

size_t DataPage::add(std::string_view row)
{
    m_end -= row.size();
    std::memcpy(m_bytes.data() + m_end, row.data(), row.size());
    writeLe16(m_bytes, kRowTableOffset + kRowTableEntry * m_rowCount, static_cast<uint32_t>(m_end));
    ++m_rowCount;
    writeLe16(m_bytes, kRowCountOffset, static_cast<uint32_t>(m_rowCount));
    writeLe16(m_bytes, kPageFreeSpace,
              static_cast<uint32_t>(m_end - kRowTableOffset - kRowTableEntry * m_rowCount));
    return m_rowCount - 1;
}

void DataPage::fill(size_t row, std::string_view bytes)
{
    const size_t start =
        readLe16(reinterpret_cast<const uint8_t *>(m_bytes.data()) + kRowTableOffset + kRowTableEntry * row);
    std::memcpy(m_bytes.data() + start, bytes.data(), bytes.size());
}

size_t usageMapSize(uint32_t count)
{
    return kMapBitmap + std::max(kMapBitmapBytes, size_t(count + 7) / 8);
}

Bytes usageMap(uint32_t start, uint32_t count)
{
    Bytes map(usageMapSize(count), '\0'); // type 0
    writeLe32(map, kMapStart, start);
    for (uint32_t i = 0; i < count; ++i)
        map[kMapBitmap + i / 8] = static_cast<char>(map[kMapBitmap + i / 8] | (1 << (i % 8)));
    return map;
}

namespace {

Bytes columnEntry(const Column &c, size_t number, uint16_t varIndex, uint16_t fixedOffset)
{
    Bytes entry(kColumnEntry, '\0');
    entry[kColumnType] = static_cast<char>(c.type);
    writeLe32(entry, kColumnStamp, kEngineStamp);
    writeLe16(entry, kColumnNumber, static_cast<uint32_t>(number));
    writeLe16(entry, kColumnVarIndex, c.fixed ? 0 : varIndex);
    writeLe16(entry, kColumnIndex, static_cast<uint32_t>(number));
    if (c.type == ColumnType::Text || c.type == ColumnType::Memo) {
        writeLe16(entry, kColumnSortOrder, kEnglishLocale);
        entry[kColumnTextFlags] = static_cast<char>(kColumnCompressedText);
    }
    entry[kColumnFlags] = static_cast<char>(c.fixed ? kColumnFixed | kColumnNullable : kColumnNullable);
    writeLe16(entry, kColumnFixedOffset, c.fixed ? fixedOffset : 0);
    writeLe16(entry, kColumnLength, c.size);
    return entry;
}

bool isLongValue(ColumnType type)
{
    return type == ColumnType::Ole || type == ColumnType::Memo;
}

} // namespace

Bytes tableDef(const std::vector<Column> &columns, bool system, uint32_t rowCount, const TableMaps &maps)
{
    Bytes def(kTdefColumnsStart, '\0');
    def[kPageTypeOffset] = static_cast<char>(PageType::TableDef);
    def[kPageTypeOffset + 1] = static_cast<char>(kPageMarker);
    writeLe32(def, kTdefStamp, kEngineStamp);
    writeLe32(def, kTdefRowCount, rowCount);
    writeLe32(def, kTdefAutoNumber, 1);
    def[kTdefAutoNumberFlag] = 1;
    def[kTdefTableType] = static_cast<char>(system ? kSystemTable : kUserTable);
    const auto varCount = static_cast<uint32_t>(
        std::count_if(columns.begin(), columns.end(), [](const Column &c) { return !c.fixed; }));
    writeLe16(def, kTdefMaxColumns, static_cast<uint32_t>(columns.size()));
    writeLe16(def, kTdefVarColumnCount, varCount);
    writeLe16(def, kTdefColumnCount, static_cast<uint32_t>(columns.size()));
    writeLe32(def, kTdefOwnedMap, maps.owned);
    writeLe32(def, kTdefFreeMap, maps.free);
    uint16_t fixedOffset = 0;
    uint16_t varIndex = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        const Column &c = columns[i];
        def += columnEntry(c, i, varIndex, fixedOffset);
        if (c.fixed)
            fixedOffset = static_cast<uint16_t>(fixedOffset + c.size);
        else
            ++varIndex;
    }
    for (const Column &c : columns) {
        const Bytes name = utf8ToUtf16le(c.name);
        writeLe16(def, def.size(), static_cast<uint32_t>(name.size()));
        def += name;
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!isLongValue(columns[i].type))
            continue;
        writeLe16(def, def.size(), static_cast<uint32_t>(i));
        writeLe32(def, def.size(), maps.longValuesUsed);
        writeLe32(def, def.size(), maps.longValuesFree);
    }
    writeLe16(def, def.size(), kTdefListEnd);
    def.append(8, '\0');
    writeLe32(def, kTdefLength, static_cast<uint32_t>(def.size() - kTdefLength));
    writeLe16(def, kPageFreeSpace, static_cast<uint32_t>(kJetPageSize - def.size()));
    def.resize(kJetPageSize, '\0');
    return def;
}

Bytes packRow(const std::vector<Column> &columns, const std::vector<std::optional<Bytes>> &fields)
{
    Bytes row;
    writeLe16(row, 0, static_cast<uint32_t>(columns.size()));
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!columns[i].fixed)
            continue;
        Bytes value = fields[i].value_or(Bytes());
        value.resize(columns[i].size, '\0');
        row += value;
    }
    std::vector<uint16_t> offsets;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].fixed)
            continue;
        offsets.push_back(static_cast<uint16_t>(row.size()));
        if (fields[i])
            row += *fields[i];
    }
    if (!offsets.empty()) {
        writeLe16(row, row.size(), static_cast<uint32_t>(row.size()));
        for (auto it = offsets.rbegin(); it != offsets.rend(); ++it)
            writeLe16(row, row.size(), *it);
        writeLe16(row, row.size(), static_cast<uint32_t>(offsets.size()));
    }
    Bytes mask((columns.size() + 7) / 8, '\0');
    for (size_t i = 0; i < columns.size(); ++i) {
        if (fields[i])
            mask[i / 8] = static_cast<char>(mask[i / 8] | (1 << (i % 8)));
    }
    return row + mask;
}

uint32_t LongValueStore::reserve(size_t size)
{
    if (m_pages.empty() || !m_pages.back().fits(size))
        m_pages.emplace_back(0, true);
    const size_t row = m_pages.back().add(Bytes(size, '\0'));
    return pgRow(m_firstPage + static_cast<uint32_t>(m_pages.size() - 1), row);
}

void LongValueStore::fill(uint32_t where, std::string_view bytes)
{
    m_pages[pgRowPage(where) - m_firstPage].fill(pgRowRow(where), bytes);
}

Bytes LongValueStore::field(std::string_view value)
{
    const auto length = static_cast<uint32_t>(value.size());
    Bytes field(kLongValueHeader, '\0');
    if (value.size() <= kInlineMax) {
        writeLe32(field, 0, kLongValueInline | length);
        return field + Bytes(value);
    }
    if (value.size() <= kChunkMax) {
        const uint32_t where = reserve(value.size());
        fill(where, value);
        writeLe32(field, 0, kLongValueOneRow | length);
        writeLe32(field, kLongValuePgRow, where);
        return field;
    }
    // A chain: each link holds the pg_row of the next (0 on the last) and a chunk.
    std::vector<uint32_t> links;
    for (size_t done = 0; done < value.size(); done += kChunkMax)
        links.push_back(reserve(kLongValueLink + std::min(kChunkMax, value.size() - done)));
    for (size_t i = 0; i < links.size(); ++i) {
        Bytes link;
        writeLe32(link, 0, i + 1 < links.size() ? links[i + 1] : 0);
        link += value.substr(i * kChunkMax, kChunkMax);
        fill(links[i], link);
    }
    writeLe32(field, 0, length);
    writeLe32(field, kLongValuePgRow, links[0]);
    return field;
}

} // namespace velmora::content::jetwriter
