// The writer's building blocks, one Jet 4 structure each: a data page filled with rows,
// a usage map, a table definition, a packed row, and the long-value pages with the
// field header that points into them.
#pragma once

#include "content/jetlayout.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::content::jetwriter {

using Bytes = std::string;

// What the writer stores of a usage map's bitmap at least: the engine's own size, 512 pages.
inline constexpr size_t kMapBitmapBytes = 64;
inline constexpr size_t kInlineMax = 64;  // longer values go to long-value pages
inline constexpr size_t kChunkMax = 4072; // one chain link: 4 + 4072 bytes, one per page

// A data page filled from the end downwards, as the engine stores rows.
class DataPage {
public:
    // A page of the table defined on page `owner`; a long-value page when `longValues`.
    explicit DataPage(uint32_t owner, bool longValues = false);
    size_t rows() const { return m_rowCount; }
    bool fits(size_t rowBytes) const;
    // Stores `row`; gives its row number.
    size_t add(std::string_view row);
    // Overwrites the start of row `row` with `bytes`.
    void fill(size_t row, std::string_view bytes);
    const Bytes &bytes() const { return m_bytes; }

private:
    Bytes m_bytes;
    size_t m_rowCount = 0;
    size_t m_end = kJetPageSize;
};

// A type-0 usage map over `count` pages from `start`.
Bytes usageMap(uint32_t start, uint32_t count);
// The bytes usageMap takes for `count` pages.
size_t usageMapSize(uint32_t count);

struct Column {
    std::string name;
    ColumnType type;
    uint16_t size; // fixed size, or the declared size of a variable column
    bool fixed;
};

// Where a table definition's usage maps lie: its own pages and those with room, and the
// long-value maps of its Memo and OLE columns.
struct TableMaps {
    uint32_t owned;
    uint32_t free;
    uint32_t longValuesUsed;
    uint32_t longValuesFree;
};

// A table definition page for `columns`.
Bytes tableDef(const std::vector<Column> &columns, bool system, uint32_t rowCount, const TableMaps &maps);

// One row: column count, fixed area, variable data, the variable offsets (last column
// first) with end-of-data and count, then the null mask. std::nullopt is Null.
Bytes packRow(const std::vector<Column> &columns, const std::vector<std::optional<Bytes>> &fields);

// Long-value pages, filled row after row; a new page starts when a row does not fit.
class LongValueStore {
public:
    explicit LongValueStore(uint32_t firstPage) : m_firstPage(firstPage) {}
    // The 12-byte long-value header (and inline data) that a table row holds for
    // `value`, storing the bytes here when they do not stay inline.
    Bytes field(std::string_view value);
    const std::vector<DataPage> &pages() const { return m_pages; }

private:
    // Reserves a row of `size` bytes; gives its pg_row.
    uint32_t reserve(size_t size);
    void fill(uint32_t where, std::string_view bytes);

    uint32_t m_firstPage;
    std::vector<DataPage> m_pages;
};

} // namespace velmora::content::jetwriter
