// The book generator's parts: the movie table, the contents page, the movies' timing and looks.
#include "buttonmovie.h"
#include "contentspage.h"
#include "helpwindow.h"
#include "movietable.h"

#include <QFile>
#include <QFontDatabase>
#include <QSet>

#include <gtest/gtest.h>

#include <cmath>

using namespace velmora::book;

namespace {

const QString kRow =
    QStringLiteral("19.swf\t19\t1920\t2280\t1215\t225\tchapter\t#fff8e6\t#f0dfb8\t#5a3b1c\t封面 Cover\t-");

QString bookTable()
{
    QFile f(QStringLiteral(VELMORA_SOURCE_DIR "/book/movies.tsv"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST(MovieTable, ReadsARow)
{
    const auto entries = parseMovieTable("# comment\n\n" + kRow + "\n");
    ASSERT_TRUE(entries.ok()) << entries.error().description;
    ASSERT_EQ(entries->size(), 1);
    const MovieSpec &s = entries->first();
    EXPECT_EQ(s.file, "19.swf");
    EXPECT_EQ(s.control, 19);
    EXPECT_EQ(s.rectTwips, QRect(1920, 2280, 1215, 225));
    EXPECT_EQ(s.style, MovieSpec::Style::Chapter);
    EXPECT_EQ(s.text, QColor(0x5a, 0x3b, 0x1c));
    EXPECT_EQ(s.label, QString::fromUtf8("封面 Cover"));
    EXPECT_TRUE(s.sublabel.isEmpty()) << "\"-\" stands for no sublabel";
}

TEST(MovieTable, MalformedRowsNameTheirLine)
{
    struct Row {
        const char *name;
        QString text;
        const char *fault;
    };
    auto with = [](int field, const QString &value) {
        QStringList f = kRow.split('\t');
        f[field] = value;
        return "# header\n" + f.join('\t');
    };
    const Row rows[] = {
        {"too few fields", "# header\n19.swf\t19\t1920", "12 tab-separated fields"},
        {"width not a number", with(4, "wide"), "whole numbers"},
        {"empty rectangle", with(5, "0"), "rectangle is empty"},
        {"unknown style", with(6, "round"), "unknown style"},
        {"bad colour", with(8, "#ggg"), "colour"},
        {"no label", with(10, ""), "label"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        const auto entries = parseMovieTable(r.text);
        ASSERT_FALSE(entries.ok());
        EXPECT_NE(entries.error().description.find("line 2"), std::string::npos)
            << entries.error().description;
        EXPECT_NE(entries.error().description.find(r.fault), std::string::npos)
            << entries.error().description;
    }
}

TEST(MovieTable, BookTableHasFortyDistinctMovies)
{
    const auto entries = parseMovieTable(bookTable());
    ASSERT_TRUE(entries.ok()) << entries.error().description;
    ASSERT_EQ(entries->size(), 40);
    QSet<QString> files;
    QSet<int> controls;
    int chapters = 0;
    for (const MovieSpec &s : *entries) {
        files.insert(s.file);
        controls.insert(s.control);
        if (s.style == MovieSpec::Style::Chapter) {
            ++chapters;
            EXPECT_EQ(s.file, QStringLiteral("%1.swf").arg(s.control))
                << "chapter movies are named after their control";
        }
        // Every control measures whole pixels, so its movie's stage can match it exactly.
        EXPECT_EQ(s.rectTwips.width() % 15, 0) << s.file.toStdString();
        EXPECT_EQ(s.rectTwips.height() % 15, 0) << s.file.toStdString();
    }
    EXPECT_EQ(files.size(), 40);
    EXPECT_EQ(controls.size(), 40);
    EXPECT_EQ(chapters, 33);
}

TEST(ContentsPage, PlacesOneLinePerChapterAtTheButtonsPixels)
{
    const auto entries = parseMovieTable(
        kRow + "\n" + QString(kRow).replace("19.swf\t19\t1920", "22.swf\t22\t4487").replace("封面", "<&>"));
    ASSERT_TRUE(entries.ok());
    const auto page = fillContentsPage("<body>\n<!-- chapter lines -->\n</body>", *entries);
    ASSERT_TRUE(page.ok()) << page.error().description;
    EXPECT_TRUE(page->contains("id=\"chapter19\" style=\"left:128px;top:80px;width:81px;height:15px\""))
        << page->toStdString();
    // 4487 twips is not a whole pixel: two decimals, as CSS takes them.
    EXPECT_TRUE(page->contains("id=\"chapter22\" style=\"left:299.13px;")) << page->toStdString();
    EXPECT_TRUE(page->contains("&lt;&amp;&gt; Cover")) << "labels are escaped";
    EXPECT_FALSE(page->contains("<!-- chapter lines -->"));
}

TEST(ContentsPage, MarkerMustOccurOnce)
{
    const auto entries = parseMovieTable(kRow);
    ASSERT_TRUE(entries.ok());
    for (const QString &templ :
         {QStringLiteral("<body></body>"), QStringLiteral("<!-- chapter lines --><!-- chapter lines -->")}) {
        SCOPED_TRACE(templ.toStdString());
        EXPECT_FALSE(fillContentsPage(templ, *entries).ok());
    }
}

TEST(ButtonMovie, GlowLoopsGentlyAndNeverGoesOut)
{
    for (int i = 0; i < kMovieFrames; ++i) {
        SCOPED_TRACE(i);
        const double a = glowAlpha(i), next = glowAlpha((i + 1) % kMovieFrames);
        EXPECT_GT(a, 0.1);
        EXPECT_LE(a, 1.0);
        // The jump from the last frame back to the first is as small as any other step.
        EXPECT_LT(std::abs(next - a), 0.08);
    }
    EXPECT_DOUBLE_EQ(kMovieFrames / kMovieFrameRate, 2.0);
}

class ButtonMovieWithFont : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFontDatabase::families().contains("Noto Sans CJK SC"))
            GTEST_SKIP() << "Noto Sans CJK SC is not installed";
        m_font = QFont("Noto Sans CJK SC");
        m_font.setPixelSize(64);
    }
    QFont m_font;
};

TEST_F(ButtonMovieWithFont, SameRowSameBytesOtherLabelOtherBytes)
{
    const auto entries = parseMovieTable(kRow);
    ASSERT_TRUE(entries.ok());
    MovieSpec entry = entries->first();
    const QByteArray first = makeButtonMovie(entry, m_font);
    EXPECT_EQ(makeButtonMovie(entry, m_font), first);
    entry.label = QString::fromUtf8("序言 Preface");
    EXPECT_NE(makeButtonMovie(entry, m_font), first);
    EXPECT_EQ(movieStageTwips(entry), QSize(81 * 20, 15 * 20));
}

TEST(HelpText, ExplainsEveryButtonOfTheTopRow)
{
    const auto entries = parseMovieTable(bookTable());
    ASSERT_TRUE(entries.ok());
    const QString help = velmora::help::HelpWindow::helpHtml();
    for (const MovieSpec &s : *entries) {
        if (s.style != MovieSpec::Style::Top)
            continue;
        SCOPED_TRACE(s.file.toStdString());
        EXPECT_TRUE(help.contains(s.label)) << s.label.toStdString();
        EXPECT_TRUE(help.contains(s.sublabel)) << s.sublabel.toStdString();
    }
}

} // namespace
