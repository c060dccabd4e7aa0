// The Jet 4 file layout as the reader and the writer share it: the page size, the fields
// of the header page, of data pages, table definitions, column entries, usage maps and
// long values, and the little-endian helpers that read and write them.
//
//   const uint32_t rows = readLe32(page.data() + kTdefRowCount);
//   writeLe16(def, kTdefColumnCount, columns);
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::content {

inline constexpr size_t kJetPageSize = 4096;

// Little-endian fields. Writing past the end of `bytes` grows it, so that a field can
// also be appended (writeLe32(b, b.size(), v)).
inline uint16_t readLe16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t readLe32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void writeLe16(std::string &bytes, size_t at, uint32_t value)
{
    if (bytes.size() < at + 2)
        bytes.resize(at + 2, '\0');
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}
inline void writeLe32(std::string &bytes, size_t at, uint32_t value)
{
    writeLe16(bytes, at, value & 0xFFFF);
    writeLe16(bytes, at + 2, value >> 16);
}

// A value the engine stores in table definitions and column entries; readers ignore it.
inline constexpr uint32_t kEngineStamp = 0x0659;
inline constexpr uint16_t kEnglishLocale = 0x0409;

// ---- Page 0: the header ----
inline constexpr char kJetMagic[] = "Standard Jet DB"; // with its terminating zero: 16 bytes at 4
inline constexpr size_t kMagicOffset = 4;
inline constexpr size_t kVersionOffset = 0x14;     // 0 Jet 3, 1 Jet 4, more: newer engines
inline constexpr size_t kHeaderRegionStart = 0x18; // the region obscured with kHeaderKey
inline constexpr size_t kHeaderRegionSize = 128;
inline constexpr std::array<uint8_t, 4> kHeaderKey{0xC7, 0xDA, 0x39, 0x6B};
inline constexpr size_t kCodePageOffset = 0x3C;
inline constexpr size_t kPageKeyOffset = 0x3E;
inline constexpr size_t kPasswordOffset = 0x42;
inline constexpr size_t kPasswordBytes = 40; // 20 UTF-16 units
inline constexpr size_t kLocaleOffset = 0x6E;
inline constexpr size_t kCreationDateOffset = 0x72;
inline constexpr size_t kVersionTextOffset = 0x98;

// ---- Every other page: the type byte, then its own layout ----
enum class PageType : uint8_t { Data = 0x01, TableDef = 0x02 };
inline constexpr size_t kPageTypeOffset = 0;
inline constexpr uint8_t kPageMarker = 0x01; // the byte after the type, page 0 too, as the engine writes it
inline constexpr size_t kPageFreeSpace = 2;  // u16, on data and definition pages

// The catalog's table definition sits on page 2 in every Jet file.
inline constexpr uint32_t kCatalogTableDefPage = 2;

// ---- Data pages: rows stored from the end of the page downwards ----
inline constexpr size_t kDataOwner = 4;          // u32: the owning table's definition page, or kLongValueMark
inline constexpr char kLongValueMark[] = "LVAL"; // 4 bytes at kDataOwner on long-value pages
inline constexpr size_t kRowCountOffset = 0x0C;
inline constexpr size_t kRowTableOffset = 0x0E;    // u16 row starts, row 0 first
inline constexpr uint16_t kRowOffsetMask = 0x1FFF; // the bits above flag deleted and moved rows

// A row's address: page number and row number in one u32.
inline constexpr uint32_t pgRow(uint32_t page, size_t row)
{
    return page << 8 | static_cast<uint32_t>(row);
}
inline constexpr uint32_t pgRowPage(uint32_t where)
{
    return where >> 8;
}
inline constexpr uint32_t pgRowRow(uint32_t where)
{
    return where & 0xFF;
}
inline constexpr size_t kMaxRowsPerPage = 255; // a pg_row keeps the row number in one byte

// ---- Usage maps (type 0): a row of a data page ----
inline constexpr size_t kMapStart = 1;                 // u32: the first page the bitmap covers
inline constexpr size_t kMapBitmap = 5;                // one bit a page from there
inline constexpr size_t kMapMinimumBytes = kMapBitmap; // what a reader follows a map pointer to

// ---- Table definitions ----
inline constexpr size_t kTdefNextPage = 4;  // u32: where the definition continues, 0 = nowhere
inline constexpr size_t kTdefLength = 8;    // u32: bytes of the definition after this field
inline constexpr size_t kTdefStamp = 12;    // u32 kEngineStamp
inline constexpr size_t kTdefRowCount = 16; // u32
inline constexpr size_t kTdefAutoNumber = 20;
inline constexpr size_t kTdefAutoNumberFlag = 24;
inline constexpr size_t kTdefTableType = 40; // kUserTable or kSystemTable
inline constexpr size_t kTdefMaxColumns = 41;
inline constexpr size_t kTdefVarColumnCount = 43;
inline constexpr size_t kTdefColumnCount = 45;
inline constexpr size_t kTdefRealIndexCount = 51;
inline constexpr size_t kTdefOwnedMap = 55;          // u32 pg_row of the usage map of the table's pages
inline constexpr size_t kTdefFreeMap = 59;           // u32 pg_row of the map of its pages with room
inline constexpr size_t kTdefColumnsStart = 63;      // real-index entries, then the column entries
inline constexpr size_t kTdefContinuationHeader = 8; // bytes before the definition goes on
inline constexpr size_t kRealIndexEntry = 12;
inline constexpr uint8_t kUserTable = 0x4E;
inline constexpr uint8_t kSystemTable = 0x53;

// One column entry of 25 bytes; then the names (u16 byte count, UTF-16LE), then one
// long-value map entry per Memo and OLE column, ended by kTdefListEnd.
inline constexpr size_t kColumnEntry = 25;
inline constexpr size_t kColumnType = 0;
inline constexpr size_t kColumnStamp = 1;
inline constexpr size_t kColumnNumber = 5;
inline constexpr size_t kColumnVarIndex = 7;
inline constexpr size_t kColumnIndex = 9;
inline constexpr size_t kColumnSortOrder = 11;
inline constexpr size_t kColumnFlags = 15;
inline constexpr size_t kColumnTextFlags = 16;
inline constexpr size_t kColumnFixedOffset = 21;
inline constexpr size_t kColumnLength = 23;
inline constexpr uint8_t kColumnFixed = 0x01;
inline constexpr uint8_t kColumnNullable = 0x02;
inline constexpr uint8_t kColumnCompressedText = 0x01; // in kColumnTextFlags
inline constexpr uint16_t kTdefListEnd = 0xFFFF;

// Text and Memo values that begin with these two bytes are stored compressed.
inline constexpr std::string_view kCompressedTextMarker = "\xFF\xFE";

enum class ColumnType : uint8_t {
    Integer = 0x03,
    Long = 0x04,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    Ole = 0x0B, // Long Binary
    Memo = 0x0C,
};

// ---- Long values (Memo and OLE fields): a 12-byte header in the row ----
inline constexpr size_t kLongValueHeader = 12;
inline constexpr size_t kLongValuePgRow = 4;                 // u32: where the value (or its chain) starts
inline constexpr uint32_t kLongValueInline = 0x80000000u;    // the bytes follow the header
inline constexpr uint32_t kLongValueOneRow = 0x40000000u;    // one long-value row holds it all
inline constexpr uint32_t kLongValueLengthMask = 0x3FFFFFFF; // neither flag: a chain of rows
inline constexpr size_t kLongValueLink = 4; // each chain row: u32 next pg_row (0 = last), then data

// ---- The catalog (MSysObjects) ----
inline constexpr uint16_t kCatalogTypeMask = 0x7F; // of the Type column
inline constexpr uint16_t kCatalogTableType = 1;
inline constexpr uint16_t kCatalogContainerType = 3;
inline constexpr uint32_t kCatalogSystemFlags = 0x80000002;
inline constexpr uint32_t kCatalogIdPageMask = 0x00FFFFFF; // a table's Id: its definition page

} // namespace velmora::content
