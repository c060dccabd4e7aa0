// The open content database: the file's bytes, its checked header, and the libmdb
// handle over them. Shared by a connection and the recordsets opened on it.
#pragma once

#include "common/result.h"
#include "content/jetheader.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <mdbtools.h>

namespace velmora::content {

struct TableDefDeleter {
    void operator()(MdbTableDef *table) const;
};
using TablePtr = std::unique_ptr<MdbTableDef, TableDefDeleter>;

class Database {
public:
    // Reads the file whole (it is never written), checks header, password and the
    // structures libmdb would trust, then opens libmdb over the bytes in memory.
    // `password` is std::nullopt when the caller gave none.
    static Result<std::shared_ptr<Database>> openFile(const std::string &path,
                                                      const std::optional<std::string> &password);
    // The same over an image already in memory; `name` stands for the file in errors.
    static Result<std::shared_ptr<Database>> openImage(std::string image, std::string_view name,
                                                       const std::optional<std::string> &password);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    const JetHeader &header() const { return m_header; }
    const std::string &name() const { return m_name; }
    uint32_t pageCount() const { return static_cast<uint32_t>(m_image.size() / kJetPageSize); }

    // Set by the connection when it closes; recordsets then refuse to work.
    bool isOpen() const { return m_open; }
    void markClosed() { m_open = false; }

    // Names of the user tables, in catalog order.
    std::vector<std::string> tableNames() const;
    // The number of records of the table `name` (any case), counted by reading them.
    Result<size_t> countRows(std::string_view name);
    // The table `name` (any case), checked and with its columns read.
    Result<TablePtr> openTable(std::string_view name);

    // The bytes of a Memo or Long Binary value from its field bytes (the 12-byte
    // long-value header, then any inline data). `field` names the field in errors.
    Result<std::string> readLongValue(std::string_view fieldBytes, std::string_view field) const;

    MdbHandle *handle() const { return m_handle; }

private:
    Database() = default;
    Result<void> validateStructure();
    Result<void> readCatalog();
    Result<void> validateTableDef(uint32_t page) const;
    // A decoded copy of `page`; false when it lies outside the file.
    bool readPage(uint32_t page, std::array<uint8_t, kJetPageSize> &out) const;
    Error damaged() const;

    std::string m_image;
    std::string m_name;
    JetHeader m_header;
    MdbHandle *m_handle = nullptr;
    // The tables of the catalog, read by us: libmdb's own catalog reader also parses
    // every object's property blob, which hostile files turn into endless work.
    std::vector<std::unique_ptr<MdbCatalogEntry>> m_tables;
    bool m_open = true;
};

} // namespace velmora::content
