// Opens arbitrary bytes as a content database and reads every value of every column
// of every table, as the reader would. Any crash, leak or hang is a finding; keep a
// reproduction of it as a case in tests/content/regression_test.cpp.
//
//   content_fuzzer -max_len=65536 -timeout=10 CORPUS_DIR
#include "content/cursor.h"
#include "content/database.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace velmora::content;
using velmora::Result;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string image(reinterpret_cast<const char *>(data), size);
    // Use the file's own password, so that mutations reach past the check.
    Result<JetHeader> header = parseJetHeader({data, size}, "fuzz");
    const std::string password = header ? header->passwordText() : std::string();
    Result<std::shared_ptr<Database>> db = Database::openImage(std::move(image), "fuzz", password);
    if (!db)
        return 0;
    for (const std::string &table : (*db)->tableNames()) {
        Result<TablePtr> def = (*db)->openTable(table);
        if (!def)
            continue;
        std::vector<std::string> columns;
        for (unsigned i = 0; i < def->get()->columns->len && i < 64; ++i)
            columns.emplace_back(static_cast<MdbColumn *>(g_ptr_array_index(def->get()->columns, i))->name);
        for (const std::string &column : columns) {
            Result<std::unique_ptr<Cursor>> cursor = Cursor::open(*db, {column, table});
            for (int row = 0; cursor && !(*cursor)->atEnd() && row < 4096; ++row) {
                (void)(*cursor)->value();
                if (!(*cursor)->advance(1))
                    break;
            }
        }
    }
    return 0;
}
