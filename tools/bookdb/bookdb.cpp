#include "bookdb.h"

#include "content/contenterror.h"
#include "content/cursor.h"
#include "content/database.h"
#include "content/jetwriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>

namespace velmora::bookdb {
namespace {

using content::BookTable;
using content::Database;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
// Books larger than this get a progress line while they are packed.
constexpr size_t kProgressRows = 1000;
constexpr size_t kProgressBytes = 16u << 20;

constexpr const char *kUsageText =
    "Usage:\n"
    "  velmora-bookdb info FILE\n"
    "      Format, password (set or not), page encoding, tables and their row counts.\n"
    "  velmora-bookdb export FILE [--password PW] --out DIR [--table b1] [--field m1]\n"
    "      Writes record k of the page table as DIR/kk.html (00.html, 01.html, ...),\n"
    "      in table order; a Null value gives an empty file.\n"
    "  velmora-bookdb pack DIR [--password PW] --out FILE [--memo] [--encode]\n"
    "      Packs DIR/0.html ... DIR/N.html (any zero padding) into a new database with\n"
    "      table b1, field m1 (Long Binary; --memo for Memo text), rows in number order.\n"
    "      --encode also encodes the pages as the engine's \"encrypt database\" does.\n"
    "  velmora-bookdb --help\n"
    "Exit codes: 0 done, 1 the command failed, 2 wrong command line.\n";

struct Options {
    std::string command;
    std::string input;
    std::string out;
    std::optional<std::string> password;
    std::string table = "b1";
    std::string field = "m1";
    bool memo = false;
    bool encode = false;
};

std::optional<Options> parseArguments(const std::vector<std::string> &args, std::ostream &err)
{
    Options options;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        auto value = [&](std::string &into) {
            if (i + 1 >= args.size()) {
                err << "velmora-bookdb: " << arg << " needs a value\n";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (arg == "--out") {
            if (!value(options.out))
                return std::nullopt;
        } else if (arg == "--password") {
            std::string pw;
            if (!value(pw))
                return std::nullopt;
            options.password = pw;
        } else if (arg == "--table") {
            if (!value(options.table))
                return std::nullopt;
        } else if (arg == "--field") {
            if (!value(options.field))
                return std::nullopt;
        } else if (arg == "--memo") {
            options.memo = true;
        } else if (arg == "--encode") {
            options.encode = true;
        } else if (arg.starts_with("--")) {
            err << "velmora-bookdb: unknown option " << arg << "\n";
            return std::nullopt;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        err << "velmora-bookdb: expected a command and one file or folder\n";
        return std::nullopt;
    }
    options.command = positional[0];
    options.input = positional[1];
    if ((options.command == "export" || options.command == "pack") && options.out.empty()) {
        err << "velmora-bookdb: " << options.command << " needs --out\n";
        return std::nullopt;
    }
    return options;
}

Error toolError(const std::string &text)
{
    return Error(content::errnum::Unspecified, text);
}

int fail(std::ostream &err, const Error &error)
{
    err << "velmora-bookdb: " << error.description << " (error " << error.number << ")\n";
    return kFailed;
}

// Days since 1899-12-30 as a calendar date (proleptic Gregorian).
std::string formatDate(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3e6)
        return "unknown";
    // Civil-from-days over the Unix epoch (1970-01-01 = day 25569).
    long z = static_cast<long>(std::floor(days)) - 25569 + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long d = doy - (153 * mp + 2) / 5 + 1;
    const long m = mp < 10 ? mp + 3 : mp - 9;
    const long y = yoe + era * 400 + (m <= 2);
    char text[64];
    std::snprintf(text, sizeof text, "%04ld-%02ld-%02ld", y, m, d);
    return text;
}

int info(const Options &options, std::ostream &out, std::ostream &err)
{
    // The tool reads the stored password itself, so that info works without it.
    std::ifstream in(options.input, std::ios::binary);
    std::string head(content::kHeaderRegionStart + content::kHeaderRegionSize, '\0');
    if (!in || !in.read(head.data(), static_cast<std::streamsize>(head.size()))) {
        // Too short or missing: opening it names the fault as the engine would.
        Result<std::shared_ptr<Database>> db = Database::openFile(options.input, std::nullopt);
        return fail(err, db ? toolError("cannot read " + options.input) : db.error());
    }
    Result<content::JetHeader> header =
        content::parseJetHeader({reinterpret_cast<const uint8_t *>(head.data()), head.size()}, options.input);
    if (!header)
        return fail(err, header.error());
    if (header->version != content::JetVersion::Jet4) {
        out << "file: " << options.input
            << "\nformat: " << (header->version == content::JetVersion::Jet3 ? "Jet 3" : "newer than Jet 4")
            << " (not supported)\n";
        return kFailed;
    }
    Result<std::shared_ptr<Database>> db = Database::openFile(options.input, header->passwordText());
    if (!db)
        return fail(err, db.error());
    out << "file: " << options.input << "\nformat: Jet 4.0\n"
        << "password: " << (header->hasPassword() ? "set" : "none") << "\n"
        << "page encoding: " << (header->pageKey != 0 ? "on" : "off") << "\n"
        << "created: " << formatDate(header->creationDate) << "\n";
    const std::vector<std::string> tables = (*db)->tableNames();
    out << "tables: " << tables.size() << "\n";
    for (const std::string &table : tables) {
        Result<size_t> rows = (*db)->countRows(table);
        if (!rows)
            return fail(err, rows.error());
        out << "  " << table << ": " << *rows << (*rows == 1 ? " row\n" : " rows\n");
    }
    return kOk;
}

int exportPages(const Options &options, std::ostream &out, std::ostream &err)
{
    Result<std::shared_ptr<Database>> db = Database::openFile(options.input, options.password);
    if (!db)
        return fail(err, db.error());
    Result<size_t> rows = (*db)->countRows(options.table);
    if (!rows)
        return fail(err, rows.error());
    Result<std::unique_ptr<content::Cursor>> cursor =
        content::Cursor::open(*db, {options.field, options.table});
    if (!cursor)
        return fail(err, cursor.error());
    std::error_code ec;
    std::filesystem::create_directories(options.out, ec);
    if (ec)
        return fail(err, toolError("cannot create folder " + options.out));
    const size_t width = std::max<size_t>(2, std::to_string(*rows > 0 ? *rows - 1 : 0).size());
    size_t written = 0;
    for (; !(*cursor)->atEnd(); ++written) {
        Result<std::optional<std::string>> value = (*cursor)->value();
        if (!value)
            return fail(err, value.error());
        std::string name = std::to_string(written);
        name.insert(0, width - std::min(width, name.size()), '0');
        const std::filesystem::path path = std::filesystem::path(options.out) / (name + ".html");
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        if (value->has_value())
            file.write((*value)->data(), static_cast<std::streamsize>((*value)->size()));
        file.close();
        if (!file)
            return fail(err, toolError("cannot write " + path.string()));
        if (Result<void> next = (*cursor)->advance(1); !next)
            return fail(err, next.error());
    }
    out << "exported " << written << " records to " << options.out << "\n";
    return kOk;
}

// The page files of a folder in number order; "7.html" and "007.html" are both page 7.
Result<std::vector<std::filesystem::path>> pageFiles(const std::string &folder)
{
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec)
        return toolError("cannot read folder " + folder);
    std::map<size_t, std::filesystem::path> pages;
    for (const auto &entry : it) {
        const std::string name = entry.path().filename().string();
        const size_t dot = name.find('.');
        if (dot == 0 || dot == std::string::npos || !entry.is_regular_file(ec))
            continue;
        std::string extension = name.substr(dot);
        std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
        size_t number = 0;
        const auto [end, error] = std::from_chars(name.data(), name.data() + dot, number);
        if (error != std::errc() || end != name.data() + dot || (extension != ".html" && extension != ".htm"))
            continue;
        if (!pages.emplace(number, entry.path()).second)
            return toolError("two files for page " + std::to_string(number) + " in " + folder);
    }
    std::vector<std::filesystem::path> ordered;
    for (const auto &[number, path] : pages) {
        if (number != ordered.size())
            return toolError("page " + std::to_string(ordered.size()) + " is missing in " + folder);
        ordered.push_back(path);
    }
    if (ordered.empty())
        return toolError("no page files (0.html, 1.html, ...) in " + folder);
    return ordered;
}

int pack(const Options &options, std::ostream &out, std::ostream &err)
{
    Result<std::vector<std::filesystem::path>> files = pageFiles(options.input);
    if (!files)
        return fail(err, files.error());
    BookTable table;
    table.fieldType = options.memo ? content::FieldType::Memo : content::FieldType::LongBinary;
    size_t bytes = 0;
    for (const auto &path : *files) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        if (!in && !in.eof())
            return fail(err, toolError("cannot read " + path.string()));
        table.rows.emplace_back(content.str());
        bytes += table.rows.back()->size();
    }
    content::JetWriteOptions writeOptions;
    writeOptions.password = options.password.value_or("");
    if (options.encode)
        writeOptions.pageKey = 0x5A3C96E1;
    if (table.rows.size() > kProgressRows || bytes > kProgressBytes) {
        writeOptions.progress = [&err](size_t done, size_t total) {
            err << "\rpacking: " << done << " of " << total << " records" << (done == total ? "\n" : "")
                << std::flush;
        };
    }
    if (Result<void> written = content::writeJetDatabase(options.out, table, writeOptions); !written)
        return fail(err, written.error());
    out << "packed " << table.rows.size() << " records (" << bytes << " bytes) into " << options.out << "\n";
    return kOk;
}

} // namespace

int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    if (std::find(args.begin(), args.end(), "--help") != args.end() ||
        std::find(args.begin(), args.end(), "-h") != args.end()) {
        out << kUsageText;
        return kOk;
    }
    std::optional<Options> options = parseArguments(args, err);
    if (!options) {
        err << kUsageText;
        return kUsage;
    }
    if (options->command == "info")
        return info(*options, out, err);
    if (options->command == "export")
        return exportPages(*options, out, err);
    if (options->command == "pack")
        return pack(*options, out, err);
    err << "velmora-bookdb: unknown command " << options->command << "\n" << kUsageText;
    return kUsage;
}

} // namespace velmora::bookdb
