// Timing of the content store as the page commands use it. Run:
//   content_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// BM_ReadFileOnly (reading the same file's bytes) is the baseline for the open costs.
#include "content/connection.h"
#include "content/jetwriter.h"
#include "content/recordset.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using namespace velmora::content;

constexpr const char *kPassword = "64tolvaner82";

// A page of about `bytes` bytes of HTML.
std::string htmlPage(size_t k, size_t bytes)
{
    std::string page =
        "<html><head><meta charset=\"utf-8\"><title>" + std::to_string(k) + "</title></head><body>";
    while (page.size() + 16 < bytes)
        page += "<p>第" + std::to_string(k) + "页 text</p>";
    return page + "</body></html>";
}

// Books written once per process, in the temporary folder.
const std::string &bookFile(size_t records, size_t pageBytes)
{
    static std::map<std::pair<size_t, size_t>, std::string> files;
    auto [it, added] = files.try_emplace({records, pageBytes});
    if (added) {
        BookTable table;
        for (size_t k = 0; k < records; ++k)
            table.rows.push_back(htmlPage(k, pageBytes));
        JetWriteOptions options;
        options.password = kPassword;
        it->second = (std::filesystem::temp_directory_path() /
                      ("velmora-bench-" + std::to_string(records) + "-" + std::to_string(pageBytes) + ".dll"))
                         .string();
        writeJetDatabase(it->second, table, options).check();
    }
    return it->second;
}

std::shared_ptr<Connection> openConnection(const std::string &file)
{
    auto connection = std::make_shared<Connection>();
    connection->setConnectionString(
        "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" + file +
        " ;Jet OLEDB:Database Password=" + kPassword);
    connection->open().check();
    return connection;
}

std::unique_ptr<Recordset> openRecordset(std::shared_ptr<Connection> connection)
{
    auto recordset = std::make_unique<Recordset>();
    recordset->setActiveConnection(std::move(connection));
    recordset->setSource("select m1 from b1");
    recordset->open().check();
    return recordset;
}

void BM_ReadFileOnly(benchmark::State &state)
{
    const std::string &file = bookFile(26, static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        benchmark::DoNotOptimize(bytes.str().size());
    }
}
BENCHMARK(BM_ReadFileOnly)->Arg(8 << 10)->Arg(64 << 10);

// The start-up's work: open the connection and the recordset, then every page once.
void BM_OpenAndReadAll26(benchmark::State &state)
{
    const std::string &file = bookFile(26, static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        auto recordset = openRecordset(openConnection(file));
        while (!recordset->eof()) {
            benchmark::DoNotOptimize(recordset->fields("m1"));
            (void)recordset->moveNext();
        }
    }
    state.SetItemsProcessed(state.iterations() * 26);
}
BENCHMARK(BM_OpenAndReadAll26)->Arg(8 << 10)->Arg(64 << 10);

// A step back from the last record page: rewind, forward 25, read the page.
void BM_RewindThenForward25(benchmark::State &state)
{
    auto recordset = openRecordset(openConnection(bookFile(26, 8 << 10)));
    for (auto _ : state) {
        (void)recordset->moveFirst();
        (void)recordset->move(25);
        benchmark::DoNotOptimize(recordset->fields("m1"));
    }
}
BENCHMARK(BM_RewindThenForward25);

// A page turn forward: MoveNext and read, wrapping round at the end.
void BM_MoveNextAndRead(benchmark::State &state)
{
    auto recordset = openRecordset(openConnection(bookFile(26, 8 << 10)));
    for (auto _ : state) {
        if (recordset->eof())
            (void)recordset->moveFirst();
        benchmark::DoNotOptimize(recordset->fields("m1"));
        (void)recordset->moveNext();
    }
}
BENCHMARK(BM_MoveNextAndRead);

// The 10,000-record book: reaching record k costs a walk over k rows.
void BM_Book10000MoveFirstThenMove(benchmark::State &state)
{
    auto recordset = openRecordset(openConnection(bookFile(10000, 2 << 10)));
    const long k = state.range(0);
    for (auto _ : state) {
        (void)recordset->moveFirst();
        (void)recordset->move(k);
        benchmark::DoNotOptimize(recordset->fields("m1"));
    }
    state.SetComplexityN(k);
}
BENCHMARK(BM_Book10000MoveFirstThenMove)->Arg(1)->Arg(25)->Arg(100)->Arg(1000)->Arg(9999)->Complexity();

void BM_Book10000Open(benchmark::State &state)
{
    const std::string &file = bookFile(10000, 2 << 10);
    for (auto _ : state)
        benchmark::DoNotOptimize(openRecordset(openConnection(file)));
}
BENCHMARK(BM_Book10000Open);

void BM_Book10000ReadAll(benchmark::State &state)
{
    auto connection = openConnection(bookFile(10000, 2 << 10));
    for (auto _ : state) {
        auto recordset = openRecordset(connection);
        while (!recordset->eof()) {
            benchmark::DoNotOptimize(recordset->fields("m1"));
            (void)recordset->moveNext();
        }
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_Book10000ReadAll);

} // namespace

BENCHMARK_MAIN();
