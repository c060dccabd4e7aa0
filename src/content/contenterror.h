// Every failure of the content store, with the number and description the reader's
// users know from the database engine's own reports. One table holds them all.
#pragma once

#include "common/error.h"

#include <string_view>

namespace velmora::content {

enum class ContentError {
    FileNotFound,        // the data source names no file
    CannotOpenFile,      // the file exists but cannot be read
    UnrecognizedFormat,  // not a Jet 4.0 database (text file, Jet 3, newer engine, truncated)
    DamagedDatabase,     // a Jet 4.0 header, but pages or records that do not hold together
    BadPassword,         // the database password does not match
    ProviderNotFound,    // a provider other than Microsoft.Jet.OLEDB.4.0
    BadConnectionString, // a setting that cannot be parsed, or no data source
    ObjectClosed,        // an operation on a closed connection or recordset
    ObjectOpen,          // opening what is open already, or changing its source
    ConnectionInvalid,   // a recordset without an open connection
    SyntaxError,         // not a SELECT statement
    UnsupportedQuery,    // a SELECT other than `select <field> from <table>`
    TableNotFound,
    FieldNotFound,   // the query names a field the table lacks
    ItemNotFound,    // Fields(name) with a name outside the query
    NoCurrentRecord, // BOF or EOF
    FetchBackward,   // Move with a negative count on the forward-only cursor
    ValueTooLarge,   // a long value beyond what the store returns whole
};

// The error for `which`; `subject` fills the one placeholder of those descriptions
// that name a file, table or field.
Error contentError(ContentError which, std::string_view subject = {});

// Numbers as the engine reports them (HRESULTs are negative as 32-bit integers).
namespace errnum {
inline constexpr long Unspecified = -2147467259;       // 0x80004005, E_FAIL
inline constexpr long SecurityFailure = -2147217843;   // 0x80040E4D, DB_SEC_E_AUTH_FAILED
inline constexpr long TableMissing = -2147217865;      // 0x80040E37, DB_E_NOTABLE
inline constexpr long ParamsMissing = -2147217904;     // 0x80040E10, DB_E_PARAMNOTOPTIONAL
inline constexpr long Syntax = -2147217900;            // 0x80040E14, DB_E_ERRORSINCOMMAND
inline constexpr long CantFetchBackward = -2147217884; // 0x80040E24, DB_E_CANTFETCHBACKWARDS
inline constexpr long NoCurrent = 3021;
inline constexpr long ItemMissing = 3265;
inline constexpr long ProviderMissing = 3706;
inline constexpr long Closed = 3704;
inline constexpr long Open = 3705;
inline constexpr long InvalidConnection = 3709;
inline constexpr long BadArguments = 3001;
} // namespace errnum

} // namespace velmora::content
