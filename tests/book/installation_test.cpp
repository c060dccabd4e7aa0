// The built installation folder: every file the reader opens is there, the pages are what
// their sources say, the movies are sized to their controls, the database gives back its pages.
#include "common/casepath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <iconv.h>

#include "content/connection.h"
#include "content/recordset.h"
#include "controls/swf/movie.h"
#include "controls/swf/player.h"

#include <cerrno>
#include <memory>
#include <string>

namespace {

const QString kInstall = QStringLiteral(VELMORA_INSTALL_FOLDER);
const QString kSource = QStringLiteral(VELMORA_SOURCE_DIR);
constexpr const char *kPassword = "64tolvaner82";

QString resolve(const char *windowsPath)
{
    return QString::fromStdString(
        velmora::resolveCaseInsensitive(kInstall.toStdString(), windowsPath).string());
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every control that shows a movie, with its rectangle in window twips, as the main window
// lays them out. The movie's stage must have the control's size.
struct Control {
    const char *movie; // the path the window loads
    int left, top, width, height;
};

constexpr Control kControls[] = {
    {"\\pic\\index.swf", 380, 210, 1215, 780}, {"\\pic\\help.swf", 1590, 210, 780, 780},
    {"\\pic\\exit.swf", 3580, 210, 780, 780},  {"\\pic\\brevanto.swf", 6680, 210, 720, 780},
    {"\\pic\\g.swf", 7490, 210, 4695, 780},    {"\\pic\\up.swf", 12890, 210, 780, 780},
    {"\\pic\\down.swf", 13670, 210, 960, 780}, {"\\pic\\19.swf", 1920, 2280, 1215, 225},
    {"\\pic\\20.swf", 1920, 3000, 1215, 225},  {"\\pic\\21.swf", 1920, 4920, 2520, 240},
    {"\\pic\\22.swf", 4487, 4920, 2745, 240},  {"\\pic\\23.swf", 7279, 4920, 1125, 240},
    {"\\pic\\24.swf", 8451, 4920, 1305, 240},  {"\\pic\\25.swf", 9803, 4920, 1185, 240},
    {"\\pic\\26.swf", 11035, 4920, 1395, 240}, {"\\pic\\27.swf", 12480, 4920, 1380, 240},
    {"\\pic\\28.swf", 1920, 5400, 870, 240},   {"\\pic\\29.swf", 2835, 5400, 1185, 240},
    {"\\pic\\30.swf", 4065, 5400, 1320, 240},  {"\\pic\\31.swf", 5430, 5400, 1155, 240},
    {"\\pic\\32.swf", 6630, 5400, 1335, 240},  {"\\pic\\33.swf", 8010, 5400, 1245, 240},
    {"\\pic\\34.swf", 9300, 5400, 1215, 240},  {"\\pic\\35.swf", 10560, 5400, 1125, 240},
    {"\\pic\\36.swf", 1920, 6360, 2055, 240},  {"\\pic\\37.swf", 3960, 6360, 2085, 240},
    {"\\pic\\38.swf", 6125, 6360, 2550, 240},  {"\\pic\\39.swf", 8755, 6360, 1965, 240},
    {"\\pic\\40.swf", 10800, 6360, 2250, 240}, {"\\pic\\41.swf", 1920, 6720, 2130, 240},
    {"\\pic\\42.swf", 4117, 6720, 2295, 240},  {"\\pic\\43.swf", 6480, 6720, 2820, 240},
    {"\\pic\\44.swf", 1920, 7680, 2325, 240},  {"\\pic\\45.swf", 4305, 7680, 2475, 240},
    {"\\pic\\46.swf", 6840, 7680, 1635, 240},  {"\\pic\\47.swf", 1920, 9120, 2880, 240},
    {"\\pic\\48.swf", 4890, 9120, 3180, 240},  {"\\pic\\49.swf", 8160, 9120, 4155, 240},
    {"\\pic\\50.swf", 1920, 9480, 2370, 240},  {"\\pic\\51.swf", 4400, 9480, 3135, 240},
};

// The pages of the installation in page order, with what each title must name.
struct FixedPage {
    const char *path;
    int pageNumber;
    const char *titleWord;
};

constexpr FixedPage kPages[] = {
    {"\\res\\1p.html", 0, "封面"},           {"\\res\\2p.html", 1, "序言"},
    {"\\res\\3p.html", 2, "目录"},           {"\\res\\Chapter\\1.html", 3, "第一章"},
    {"\\res\\Chapter\\2.html", 4, "第二章"}, {"\\res\\Chapter\\3.html", 5, "第三章"},
    {"\\res\\Chapter\\4.html", 6, "第四章"}, {"\\res\\Chapter\\5.html", 7, "第五章"},
};

class Installation : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo(resolve("\\res\\1p.html")).isFile())
            GTEST_SKIP() << "the installation folder has not been built: " << kInstall.toStdString();
    }
};

// GBK bytes to UTF-8, or nothing when they are not valid GBK.
std::optional<QByteArray> gbkToUtf8(const QByteArray &in)
{
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) // NOLINT(performance-no-int-to-ptr): iconv's failure value
        return std::nullopt;
    QByteArray out(in.size() * 2 + 16, '\0');
    char *src = const_cast<char *>(in.constData());
    size_t srcLeft = static_cast<size_t>(in.size());
    char *dst = out.data();
    size_t dstLeft = static_cast<size_t>(out.size());
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || srcLeft != 0)
        return std::nullopt;
    out.resize(out.size() - static_cast<qsizetype>(dstLeft));
    return out;
}

QString titleOf(const QString &html)
{
    static const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"));
    return title.match(html).captured(1);
}

TEST_F(Installation, EveryNamedFileExists)
{
    for (const FixedPage &p : kPages) {
        SCOPED_TRACE(p.path);
        EXPECT_TRUE(QFileInfo(resolve(p.path)).isFile());
    }
    for (const Control &c : kControls) {
        SCOPED_TRACE(c.movie);
        EXPECT_TRUE(QFileInfo(resolve(c.movie)).isFile());
    }
    EXPECT_EQ(std::size(kControls), 40u);
    EXPECT_TRUE(QFileInfo(resolve("\\res\\chapter\\szh.dll")).isFile());
}

TEST_F(Installation, HelpProgramIsAnExecutableNamedHelpExe)
{
    const QFileInfo help(resolve("\\pic\\help.exe"));
    ASSERT_TRUE(help.isFile());
    EXPECT_EQ(help.fileName(), "help.exe");
    EXPECT_TRUE(help.isExecutable());
    EXPECT_EQ(readAll(help.filePath()).left(4), QByteArray("\x7f"
                                                           "ELF"));
}

TEST_F(Installation, TitlesNameTheirPagesAndAreUnique)
{
    QSet<QString> titles;
    for (const FixedPage &p : kPages) {
        SCOPED_TRACE(p.path);
        QByteArray bytes = readAll(resolve(p.path));
        if (p.pageNumber == 6)
            bytes = gbkToUtf8(bytes).value_or(QByteArray());
        const QString title = titleOf(QString::fromUtf8(bytes));
        EXPECT_TRUE(title.startsWith("Velmora")) << title.toStdString();
        EXPECT_TRUE(title.contains(QString::fromUtf8(p.titleWord))) << title.toStdString();
        EXPECT_TRUE(title.contains(QStringLiteral("第%1页").arg(p.pageNumber))) << title.toStdString();
        titles.insert(title);
    }
    for (int k = 0; k < 26; ++k) {
        const QString source =
            kSource + QStringLiteral("/book/records/%1.html").arg(k + 1, 2, 10, QChar('0'));
        SCOPED_TRACE(source.toStdString());
        const QString title = titleOf(QString::fromUtf8(readAll(source)));
        EXPECT_TRUE(title.contains(QStringLiteral("第%1页").arg(8 + k))) << title.toStdString();
        titles.insert(title);
    }
    EXPECT_EQ(titles.size(), 34) << "two pages share a title";
}

TEST_F(Installation, OnePageIsGbkWithoutACharsetAndTheRestDeclareUtf8)
{
    const QByteArray gbk = readAll(resolve("\\res\\Chapter\\4.html"));
    ASSERT_FALSE(gbk.isEmpty());
    EXPECT_FALSE(gbk.toLower().contains("charset")) << "the GBK page must leave the encoding to the reader";
    const auto decoded = gbkToUtf8(gbk);
    ASSERT_TRUE(decoded.has_value()) << "not valid GBK";
    EXPECT_EQ(*decoded, readAll(kSource + "/book/res/Chapter/4.utf8.html"));
    EXPECT_NE(gbk, *decoded) << "the page holds no Chinese text, so it tests nothing";

    for (const FixedPage &p : kPages) {
        if (p.pageNumber == 6)
            continue;
        SCOPED_TRACE(p.path);
        EXPECT_TRUE(readAll(resolve(p.path)).contains("<meta charset=\"utf-8\">"));
    }
}

TEST_F(Installation, PagesReferOnlyToFilesThatExist)
{
    static const QRegularExpression ref(QStringLiteral("(?:src|href)=\"([^\"#:]+)\""));
    for (const FixedPage &p : kPages) {
        SCOPED_TRACE(p.path);
        const QString page = resolve(p.path);
        auto it = ref.globalMatch(QString::fromLatin1(readAll(page)));
        while (it.hasNext()) {
            const QString target = QFileInfo(page).dir().filePath(it.next().captured(1));
            EXPECT_TRUE(QFileInfo(target).isFile()) << target.toStdString();
        }
    }
    // Record pages are shown from res\Chapter, so their links resolve from there.
    for (int k = 1; k <= 26; ++k) {
        const QString source = kSource + QStringLiteral("/book/records/%1.html").arg(k, 2, 10, QChar('0'));
        auto it = ref.globalMatch(QString::fromUtf8(readAll(source)));
        while (it.hasNext()) {
            const QString target = QDir(resolve("\\res\\Chapter")).filePath(it.next().captured(1));
            EXPECT_TRUE(QFileInfo(target).isFile()) << source.toStdString() << " -> " << target.toStdString();
        }
    }
}

TEST_F(Installation, ContentsLinesLieUnderTheirChapterButtons)
{
    const QString page = QString::fromUtf8(readAll(resolve("\\res\\3p.html")));
    ASSERT_TRUE(page.contains("body{margin:0")) << "the page's origin must be the view's corner";
    int lines = 0;
    for (const Control &c : kControls) {
        const QString file = QFileInfo(QString(c.movie).replace('\\', '/')).completeBaseName();
        bool isChapter = false;
        const int control = file.toInt(&isChapter);
        if (!isChapter)
            continue;
        SCOPED_TRACE(c.movie);
        const QRegularExpression line(
            QStringLiteral("id=\"chapter%1\" style=\"left:([0-9.]+)px;top:([0-9.]+)px;"
                           "width:([0-9.]+)px;height:([0-9.]+)px\"")
                .arg(control));
        const QRegularExpressionMatch m = line.match(page);
        ASSERT_TRUE(m.hasMatch());
        // The view's top-left corner is at window (0, 1080) twips; 15 twips to the CSS pixel.
        EXPECT_NEAR(m.captured(1).toDouble(), c.left / 15.0, 0.01);
        EXPECT_NEAR(m.captured(2).toDouble(), (c.top - 1080) / 15.0, 0.01);
        EXPECT_NEAR(m.captured(3).toDouble(), c.width / 15.0, 0.01);
        EXPECT_NEAR(m.captured(4).toDouble(), c.height / 15.0, 0.01);
        ++lines;
    }
    EXPECT_EQ(lines, 33);
}

// Reads the stage rectangle of an uncompressed movie without the player.
QSize stagePixels(const QByteArray &file)
{
    if (file.size() < 17 || !file.startsWith("FWS"))
        return {};
    auto bit = [&](int i) { return (static_cast<quint8>(file[8 + i / 8]) >> (7 - i % 8)) & 1; };
    auto field = [&](int at, int n) {
        qint32 v = 0;
        for (int i = 0; i < n; ++i)
            v = (v << 1) | bit(at + i);
        if (n > 0 && (v & (1 << (n - 1))))
            v -= 1 << n;
        return v;
    };
    int n = 0;
    for (int i = 0; i < 5; ++i)
        n = (n << 1) | bit(i);
    const qint32 xmin = field(5, n), xmax = field(5 + n, n), ymin = field(5 + 2 * n, n),
                 ymax = field(5 + 3 * n, n);
    return {(xmax - xmin) / 20, (ymax - ymin) / 20};
}

TEST_F(Installation, MoviesHaveTheirControlsSizeAndLoop)
{
    for (const Control &c : kControls) {
        SCOPED_TRACE(c.movie);
        const QByteArray file = readAll(resolve(c.movie));
        ASSERT_GT(file.size(), 17);
        const quint32 declared = static_cast<quint8>(file[4]) | static_cast<quint8>(file[5]) << 8 |
                                 static_cast<quint8>(file[6]) << 16 |
                                 static_cast<quint32>(static_cast<quint8>(file[7])) << 24;
        EXPECT_EQ(declared, static_cast<quint32>(file.size()));
        EXPECT_EQ(stagePixels(file), QSize(c.width / 15, c.height / 15));
        auto movie = velmora::swf::loadMovie(std::span(
            reinterpret_cast<const std::uint8_t *>(file.constData()), static_cast<size_t>(file.size())));
        ASSERT_TRUE(movie.ok()) << movie.error().description;
        EXPECT_TRUE((*movie)->warnings.empty()) << (*movie)->warnings.front();
        EXPECT_EQ((*movie)->header.frameCount, 24);
        velmora::swf::Player player(*movie);
        EXPECT_EQ(player.stageSize(), QSizeF(QSize(c.width / 15, c.height / 15)));
        EXPECT_DOUBLE_EQ(player.frameRate(), 12.0);
        EXPECT_TRUE(player.isAnimated());
        // Rendered at the control's size the face and its label show: many colours, not a blank.
        QImage image(c.width / 15, c.height / 15, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        player.render(painter, QRectF(image.rect()), velmora::swf::Quality::High);
        painter.end();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                colours.insert(image.pixel(x, y));
        EXPECT_GT(colours.size(), 20);
    }
}

TEST_F(Installation, ExportGivesBackTheRecordPagesByteForByte)
{
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QProcess tool;
    tool.start(QStringLiteral(VELMORA_TOOLS_DIR "/velmora-bookdb"),
               {"export", resolve("\\res\\chapter\\szh.dll"), "--password", kPassword, "--out", out.path()});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QStringList exported = QDir(out.path()).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(exported.size(), 26);
    for (int k = 0; k < 26; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(exported[k], QStringLiteral("%1.html").arg(k, 2, 10, QChar('0')));
        const QString source =
            kSource + QStringLiteral("/book/records/%1.html").arg(k + 1, 2, 10, QChar('0'));
        EXPECT_EQ(readAll(QDir(out.path()).filePath(exported[k])), readAll(source));
    }
}

TEST_F(Installation, DatabaseOpensWithThePasswordAndHolds26Records)
{
    using namespace velmora::content;
    const std::string source = resolve("\\res\\chapter\\szh.dll").toStdString();
    struct Row {
        const char *name;
        std::string password;
        bool opens;
    };
    const Row rows[] = {{"book password", kPassword, true},
                        {"wrong password", "64tolvaner83", false},
                        {"no password", "", false}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        auto connection = std::make_shared<Connection>();
        connection->setConnectionString(
            "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" + source +
            ";Jet OLEDB:Database Password=" + r.password);
        const velmora::Result<void> opened = connection->open();
        ASSERT_EQ(opened.ok(), r.opens);
        if (!r.opens)
            continue;
        Recordset records;
        records.setActiveConnection(connection);
        records.setSource("select m1 from b1");
        ASSERT_TRUE(records.open().ok());
        int count = 0;
        while (!records.eof() && count < 100) {
            const auto value = records.fields("m1");
            ASSERT_TRUE(value.ok());
            ASSERT_TRUE(value->has_value());
            EXPECT_NE((*value)->find("第" + std::to_string(8 + count) + "页"), std::string::npos);
            ++count;
            ASSERT_TRUE(records.moveNext().ok());
        }
        EXPECT_EQ(count, 26);
    }
}

} // namespace
