// Writes a small Jet 4.0 database holding one table of pages: the book's content
// database, and test fixtures. Readers that accept it: libmdb, mdb-export, mdb-reader.
//
//   BookTable table;                        // b1 with a Long Binary field m1
//   table.rows = {std::string("<html>…"), std::nullopt};
//   writeJetDatabase("szh.dll", table, {.password = "secret"}).check();
#pragma once

#include "common/result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora::content {

enum class FieldType { LongBinary, Memo };

struct BookTable {
    std::string tableName = "b1";
    std::string fieldName = "m1";
    FieldType fieldType = FieldType::LongBinary;
    // In table order; std::nullopt is Null. Memo values are UTF-8 text. Each value
    // must be below 16 MiB (the long-value header has 24 bits of length).
    std::vector<std::optional<std::string>> rows;
};

struct JetWriteOptions {
    std::string password;          // at most 20 UTF-16 units; empty = no password
    uint32_t pageKey = 0;          // non-zero: every page but the header is RC4-encoded
    double creationDate = 46000.5; // days since 1899-12-30; the password mask comes from it
    // Called as pages are laid out: (rows done, rows in all). May be empty.
    using Progress = std::function<void(size_t, size_t)>;
    Progress progress;
};

// The complete file image.
Result<std::string> buildJetDatabase(const BookTable &table, const JetWriteOptions &options = {});
// Builds the image and writes it to `path` (through a temporary file, then a rename).
Result<void> writeJetDatabase(const std::filesystem::path &path, const BookTable &table,
                              const JetWriteOptions &options = {});

} // namespace velmora::content
