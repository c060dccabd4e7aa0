#include "navigation/recordpages.h"

#include "common/casepath.h"
#include "content/recordset.h"
#include "navigation/readerwindow.h"
#include "navigation/writtenpages.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace velmora::navigation {
namespace {

// Deliberately silent: each step that fails is skipped, and the next one runs.
std::string currentValue(content::Recordset &rsxs)
{
    if (rsxs.bof() || rsxs.eof())
        return {};
    Result<content::FieldValue> value = rsxs.fields("m1");
    if (!value || !value->has_value())
        return {};
    return std::move(**value);
}

bool writeWhole(const std::filesystem::path &file, const std::string &bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

} // namespace

void writepage(ReaderWindow &window, const std::string &path)
{
    const std::filesystem::path file = resolveInstallationPath(window.applicationPath(), path);
    std::error_code ignored;
    // Only a file is deleted: a folder standing in the file's place is not the page's to
    // remove (and its writing then fails like any other).
    if (!std::filesystem::is_directory(file, ignored))
        std::filesystem::remove(file, ignored);
    std::string bytes = currentValue(window.rsxs());
    WrittenPages &written = window.writtenPages();
    // The text of a Memo field comes as UTF-8, whatever the page says of itself.
    written.setCharset(file, window.rsxs().givesText() ? content::kTextCharset : "");
    if (writeWhole(file, bytes))
        written.release(file);
    else
        written.keep(file, std::move(bytes));
}

void movenext(ReaderWindow &window)
{
    content::Recordset &rsxs = window.rsxs();
    // A table shorter than the book leaves the cursor past its end: the pages beyond it
    // are shown empty instead of failing on a move that has nowhere to go.
    if (!rsxs.eof())
        rsxs.moveNext().check();
    const std::string pageFile = window.applicationPath() + std::string(kPageFile);
    writepage(window, pageFile);
    window.setPagepath(pageFile);
    window.focusText1();
}

} // namespace velmora::navigation
