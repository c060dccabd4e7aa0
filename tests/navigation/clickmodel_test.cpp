// Random clicks on the visible buttons of the real main window, checked after every
// command against a model of the reading sequence written here from the page table, the
// arrival steps and the chapter buttons (not taken from the code under test).
#include "controls/flashbutton.h"
#include "mainwindow/commands.h"
#include "mainwindow/mainform.h"
#include "readingwindow.h"

#include <QLineEdit>

#include <cstdlib>
#include <random>
#include <sstream>

namespace velmora::testing {
namespace {

constexpr int kUp = 11;
constexpr int kDown = 12;
constexpr int kContents = 10;
constexpr int kFirstChapter = 19;
constexpr int kLastChapter = 51;
constexpr int kMakerLink = -1; // a click on Label1, not a Flash button

// What the window should be after each command.
struct ReadingModel {
    int pageno = 0;
    std::string pagepath = "\\res\\1p.html"; // relative, or the maker's full address
    bool up = false;
    bool down = true;
    bool panel = false;
    int record = 0;              // current record of rsxs
    std::optional<int> pageFile; // record last written to faj.trm
    std::optional<int> tempFile; // record last written to temp.html
    std::string text2 = "Text2";

    static std::string fixedPage(int page)
    {
        static const char *const pages[] = {"\\res\\1p.html",         "\\res\\2p.html",
                                            "\\res\\3p.html",         "\\res\\Chapter\\1.html",
                                            "\\res\\Chapter\\2.html", "\\res\\Chapter\\3.html",
                                            "\\res\\Chapter\\4.html", "\\res\\Chapter\\5.html"};
        return pages[page];
    }
    void showRecord(int k)
    {
        record = k;
        pageFile = k;
        pagepath = "\\res\\Chapter\\faj.trm";
    }

    void pageDown()
    {
        const int t = ++pageno;
        if (t == 1) {
            panel = false;
            up = true;
        } else if (t == 2) {
            panel = true;
        } else if (t == 3) {
            panel = false;
        }
        if (t < 8)
            pagepath = fixedPage(t);
        else if (t == 8)
            showRecord(0);
        else
            showRecord(record + 1);
        if (t == 33)
            down = false;
        text2 = std::to_string(t);
    }
    void pageUp()
    {
        const int t = --pageno;
        if (t == 0)
            up = false;
        else if (t == 1 || t == 3)
            panel = false;
        else if (t == 2)
            panel = true;
        if (t < 8) {
            pagepath = fixedPage(t);
        } else if (t == 8) {
            record = 0;
            tempFile = 0;
            pagepath = "\\res\\Chapter\\temp.html";
        } else {
            showRecord(t - 8);
        }
        if (t >= 14)
            down = true;
        text2 = std::to_string(t);
    }
    void contents()
    {
        panel = up = down = true;
        pageno = 2;
        pagepath = fixedPage(2);
    }
    void chapter(int button)
    {
        panel = false;
        up = button != kFirstChapter;
        down = button != kLastChapter;
        static const int fixedTargets[] = {0, 1, 3, 4, 5, 6, 7};
        if (button < 26) {
            pageno = fixedTargets[button - kFirstChapter];
            pagepath = fixedPage(pageno);
        } else {
            pageno = button - 18;
            showRecord(button - 26);
        }
    }
    void makerLink() { pagepath = mainwindow::kMakerAddress; }

    void run(int command)
    {
        if (command == kUp)
            pageUp();
        else if (command == kDown)
            pageDown();
        else if (command == kContents)
            contents();
        else if (command == kMakerLink)
            makerLink();
        else
            chapter(command);
    }
    // The commands a user can give: the visible buttons and the label, each kind weighted
    // so that walks reach deep into the record pages as well as the chapter panel.
    int pick(std::mt19937 &random) const
    {
        std::vector<std::pair<int, int>> kinds; // command kind, weight
        if (up)
            kinds.push_back({kUp, 30});
        if (down)
            kinds.push_back({kDown, 40});
        kinds.push_back({kContents, 8});
        kinds.push_back({kMakerLink, 4});
        if (panel)
            kinds.push_back({kFirstChapter, 40});
        int total = 0;
        for (const auto &kind : kinds)
            total += kind.second;
        int roll = std::uniform_int_distribution<int>(0, total - 1)(random);
        for (const auto &[kind, weight] : kinds) {
            if (roll < weight)
                return kind == kFirstChapter
                           ? std::uniform_int_distribution<int>(kFirstChapter, kLastChapter)(random)
                           : kind;
            roll -= weight;
        }
        return kContents;
    }
};

std::string commandName(int command)
{
    return command == kMakerLink ? std::string("Label1") : "ShockwaveFlash" + std::to_string(command);
}

class ClickModelTest : public ReadingWindowTest {
protected:
    // Every difference between the window and the model, one per line.
    std::string differences(const InstallFolder &folder, const ReadingModel &model)
    {
        std::ostringstream out;
        auto differ = [&out](const char *what, const auto &actual, const auto &expected) {
            if (!(actual == expected))
                out << what << ": window " << actual << ", model " << expected << "\n";
        };
        differ("pageno", Form1->pageno, static_cast<std::int16_t>(model.pageno));
        const std::string expectedPath = model.pagepath.rfind('\\', 0) == 0
                                             ? folder.path().toStdString() + model.pagepath
                                             : model.pagepath;
        differ("pagepath", Form1->pagepath.toStdString(), expectedPath);
        differ("page up shown", !Form1->ShockwaveFlash(kUp)->isHidden(), model.up);
        differ("page down shown", !Form1->ShockwaveFlash(kDown)->isHidden(), model.down);
        differ("contents shown", !Form1->ShockwaveFlash(kContents)->isHidden(), true);
        for (int n = kFirstChapter; n <= kLastChapter; ++n) {
            const std::string what = "ShockwaveFlash" + std::to_string(n) + " shown";
            differ(what.c_str(), !Form1->ShockwaveFlash(n)->isHidden(), model.panel);
        }
        Result<content::FieldValue> field = Form1->rsxs->fields("m1");
        differ("current record", field && field->has_value() ? **field : std::string("(none)"),
               InstallFolder::recordDocument(model.record));
        auto expectedFile = [](const std::optional<int> &k) {
            return k ? InstallFolder::recordDocument(*k) : std::string("(absent)");
        };
        differ("page file", fileBytes(folder, "res/Chapter/faj.trm").value_or("(absent)"),
               expectedFile(model.pageFile));
        differ("temp.html", fileBytes(folder, "res/Chapter/temp.html").value_or("(absent)"),
               expectedFile(model.tempFile));
        differ("Text2", Form1->Text2->text().toStdString(), model.text2);
        differ("focus on Text1", Form1->window()->focusWidget() == Form1->Text1, true);
        differ("message boxes", recorder.boxes.size(), qsizetype(0));
        return out.str();
    }
};

// The seed comes from VELMORA_SEED when set, so that a failure can be run again.
std::uint32_t seed()
{
    if (const char *given = std::getenv("VELMORA_SEED"))
        return static_cast<std::uint32_t>(std::strtoul(given, nullptr, 10));
    return std::random_device{}();
}

TEST_F(ClickModelTest, RandomClicksOnTheVisibleButtonsKeepTheWindowInTheModelsState)
{
    constexpr int kSequences = 50;
    constexpr int kClicksPerSequence = 40;
    const std::uint32_t base = seed();
    RecordProperty("seed", std::to_string(base));
    InstallFolder folder;
    ASSERT_TRUE(startUp(folder));
    Form1->Text1->setFocus();
    ReadingModel model;
    ASSERT_EQ(differences(folder, model), "") << "at the start";

    // Each sequence goes on from where the one before left the window.
    for (int sequence = 0; sequence < kSequences; ++sequence) {
        std::mt19937 random(base + static_cast<std::uint32_t>(sequence));
        std::string history;
        for (int i = 0; i < kClicksPerSequence; ++i) {
            const int command = model.pick(random);
            history += commandName(command) + " ";
            std::string problem;
            if (command == kMakerLink)
                clickLabel1();
            else
                problem = clickButton(command);
            model.run(command);
            if (problem.empty())
                problem = differences(folder, model);
            if (!problem.empty()) {
                FAIL() << "VELMORA_SEED=" << base << ", sequence " << sequence << " (seed "
                       << base + static_cast<std::uint32_t>(sequence) << "), after " << history << "\n"
                       << problem;
            }
        }
    }
}

} // namespace
} // namespace velmora::testing
