#include "navigation/pagetable.h"

namespace velmora::navigation {
namespace {

using Op = Step::Op;

// The pages before the records: the files of the installation.
constexpr std::array<std::string_view, kFirstRecordPage> kFilePages = {
    kFirstPagePath,           "\\res\\2p.html",         kContentsPath,
    "\\res\\Chapter\\1.html", "\\res\\Chapter\\2.html", "\\res\\Chapter\\3.html",
    "\\res\\Chapter\\4.html", "\\res\\Chapter\\5.html",
};

constexpr Step path(std::string_view p)
{
    return {Op::Path, p};
}
constexpr Step recordTo(std::string_view p)
{
    return {Op::RecordTo, p};
}
constexpr Step forward(int k)
{
    return {Op::Forward, {}, k};
}
constexpr Step op(Op o)
{
    return {o};
}
constexpr Step show(TurnButton b)
{
    return {Op::Show, {}, 0, b};
}
constexpr Step hide(TurnButton b)
{
    return {Op::Hide, {}, 0, b};
}

constexpr StepList steps(std::initializer_list<Step> list)
{
    StepList result;
    for (const Step &s : list)
        result.steps[result.size++] = s;
    return result;
}

constexpr PageRow filePage(int page)
{
    const std::string_view p = kFilePages[page];
    switch (page) {
    case 0: // page down never arrives here
        return {{}, steps({path(p), hide(TurnButton::PageUp), op(Op::FocusText1)})};
    case 1:
        return {steps({op(Op::ButtonVisible), path(p), show(TurnButton::PageUp)}),
                steps({op(Op::ButtonVisible), path(p), op(Op::FocusText1)})};
    case 2:
        return {steps({op(Op::ButtonTrue), path(p)}), steps({op(Op::ButtonTrue), path(p)})};
    case 3:
        return {steps({op(Op::ButtonVisible), path(p)}), steps({op(Op::ButtonVisible), path(p)})};
    default:
        return {steps({path(p)}), steps({path(p)})};
    }
}

// Page down steps one record on from the record shown (page 8 starts from the first);
// page up always positions from the first record, since the cursor only moves forward.
constexpr PageRow recordPage(int page)
{
    const int record = page - kFirstRecordPage;
    PageRow row;
    if (record == 0) {
        row.byPageDown = steps({op(Op::Rewind), recordTo(kPageFile)});
        row.byPageUp = steps({op(Op::Rewind), recordTo(kFirstRecordByPageUp)});
        return row;
    }
    row.byPageDown =
        page == kLastPage ? steps({op(Op::MoveNext), hide(TurnButton::PageDown)}) : steps({op(Op::MoveNext)});
    if (page == kLastPage)
        return row; // page up never arrives here
    row.byPageUp =
        record >= 6
            ? steps({op(Op::Rewind), forward(record), recordTo(kPageFile), show(TurnButton::PageDown)})
            : steps({op(Op::Rewind), forward(record), recordTo(kPageFile)});
    return row;
}

constexpr std::array<PageRow, kPageCount> buildPageTable()
{
    std::array<PageRow, kPageCount> table{};
    for (int page = 0; page < kPageCount; ++page)
        table[page] = page < kFirstRecordPage ? filePage(page) : recordPage(page);
    return table;
}

// ShockwaveFlash19 and 20 lead to pages 0 and 1; 21 to 25 to the chapter files (pages 3
// to 7); 26 to 51 to records 0 to 25 (pages 8 to 33). The contents page has no button.
constexpr std::array<ChapterButton, kChapterButtonCount> buildChapterTable()
{
    std::array<ChapterButton, kChapterButtonCount> table{};
    for (int i = 0; i < kChapterButtonCount; ++i) {
        const int control = kFirstChapterControl + i;
        const auto page = static_cast<std::int16_t>(control <= 20 ? control - 19 : control - 18);
        const int record = page >= kFirstRecordPage ? page - kFirstRecordPage : -1;
        const ChapterButtons buttons = control == kFirstChapterControl  ? ChapterButtons::FirstPage
                                       : control == kLastChapterControl ? ChapterButtons::LastPage
                                                                        : ChapterButtons::Dong1;
        table[i] = {control, page, record >= 0 ? kPageFile : kFilePages[page], record, buttons};
    }
    return table;
}

constexpr std::array<PageRow, kPageCount> kPageTable = buildPageTable();
constexpr std::array<ChapterButton, kChapterButtonCount> kChapterTable = buildChapterTable();

} // namespace

const std::array<PageRow, kPageCount> &pageTable()
{
    return kPageTable;
}

const std::array<ChapterButton, kChapterButtonCount> &chapterTable()
{
    return kChapterTable;
}

} // namespace velmora::navigation
