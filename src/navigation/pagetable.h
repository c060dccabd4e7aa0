// The book's reading sequence as data: the 34 pages, the steps that run on arriving at
// each by page down and by page up, and the 33 chapter buttons of the contents page.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace velmora::navigation {

// The two page-turning buttons: ShockwaveFlash11 (page up) and ShockwaveFlash12 (page down).
enum class TurnButton { PageUp, PageDown };

inline constexpr std::string_view kPageFile = "\\res\\Chapter\\faj.trm";
inline constexpr std::string_view kFirstRecordByPageUp = "\\res\\Chapter\\temp.html";
inline constexpr std::string_view kFirstPagePath = "\\res\\1p.html"; // shown by Load
inline constexpr std::string_view kContentsPath = "\\res\\3p.html";
inline constexpr std::int16_t kFirstPage = 0;
inline constexpr std::int16_t kContentsPage = 2;
inline constexpr std::int16_t kFirstRecordPage = 8;
inline constexpr std::int16_t kLastPage = 33;
inline constexpr int kPageCount = kLastPage + 1;

// One step of an arrival, as the page table writes it.
struct Step {
    enum class Op {
        ButtonVisible, // hide the chapter panel
        ButtonTrue,    // show the chapter panel
        Path,          // pagepath = application path + path
        RecordTo,      // writepage(application path + path); pagepath = that path
        Rewind,        // MoveFirst on rsxs
        Forward,       // Move(count) on rsxs
        MoveNext,      // movenext
        FocusText1,
        Show, // button visible
        Hide, // button hidden
    };
    Op op;
    std::string_view path{};
    int count = 0;
    TurnButton button = TurnButton::PageUp;

    friend constexpr bool operator==(const Step &, const Step &) = default;
};

// At most four steps run on arriving at a page.
struct StepList {
    std::array<Step, 4> steps{};
    int size = 0;

    constexpr std::span<const Step> view() const { return {steps.data(), static_cast<size_t>(size)}; }
};

struct PageRow {
    StepList byPageDown; // arriving from the page before
    StepList byPageUp;   // arriving from the page after
};

const std::array<PageRow, kPageCount> &pageTable();

// What a chapter button does to the buttons before it shows its page.
enum class ChapterButtons {
    FirstPage, // buttonvisible; page up hidden; page down shown
    Dong1,     // dong1
    LastPage,  // dong1; page down hidden
};

struct ChapterButton {
    int control; // N of ShockwaveFlashN
    std::int16_t page;
    std::string_view path; // the page file for record pages
    int record;            // -1 for files of the installation
    ChapterButtons buttons;
};

inline constexpr int kFirstChapterControl = 19;
inline constexpr int kLastChapterControl = 51;
inline constexpr int kChapterButtonCount = kLastChapterControl - kFirstChapterControl + 1;

const std::array<ChapterButton, kChapterButtonCount> &chapterTable();

} // namespace velmora::navigation
