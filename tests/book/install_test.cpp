// `cmake --install` of the build: the reader, its book, a launcher and the desktop files
// under one prefix, each accepted by the desktop's own validators.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kId = QStringLiteral("org.brevanto.velmora");

struct ProcessRun {
    int exitCode = -1;
    QString output;
};

ProcessRun runProcess(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

class Install : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_prefix = new QTemporaryDir;
        s_install = runProcess(QStringLiteral(VELMORA_CMAKE_COMMAND),
                               {"--install", VELMORA_BINARY_DIR, "--prefix", s_prefix->path()});
    }
    static void TearDownTestSuite()
    {
        delete s_prefix;
        s_prefix = nullptr;
    }
    void SetUp() override
    {
        if (!QFileInfo::exists(QStringLiteral(VELMORA_INSTALL_FOLDER "/res/1p.html")))
            GTEST_SKIP() << "the book has not been built";
        ASSERT_EQ(s_install.exitCode, 0) << s_install.output.toStdString();
    }
    static QString path(const QString &relative) { return QDir(s_prefix->path()).filePath(relative); }

    static inline QTemporaryDir *s_prefix = nullptr;
    static inline ProcessRun s_install;
};

TEST_F(Install, BookAndReaderLieTogetherUnderLib)
{
    const char *files[] = {"lib/velmora/res/1p.html",        "lib/velmora/res/3p.html",
                           "lib/velmora/res/Chapter/4.html", "lib/velmora/pic/index.swf",
                           "lib/velmora/pic/51.swf",         "lib/velmora/res/images/lake.png"};
    for (const char *f : files) {
        SCOPED_TRACE(f);
        EXPECT_TRUE(QFileInfo(path(f)).isFile());
    }
    EXPECT_EQ(QDir(path("lib/velmora/pic")).entryList({"*.swf"}, QDir::Files).size(), 40);
    EXPECT_TRUE(QFileInfo(path("lib/velmora/pic/help.exe")).isExecutable());
    EXPECT_TRUE(QFileInfo(path("lib/velmora/velmora")).isExecutable());
    EXPECT_TRUE(QFileInfo(path("lib/velmora/res/Chapter/szh.dll")).isFile());
    // Page files that a reading session left in the build's folder stay out of the installation.
    EXPECT_FALSE(QFileInfo::exists(path("lib/velmora/res/Chapter/faj.trm")));
    EXPECT_FALSE(QFileInfo::exists(path("lib/velmora/res/Chapter/temp.html")));
}

TEST_F(Install, LauncherStartsTheReaderBesideItsBook)
{
    const QFileInfo launcher(path("bin/velmora"));
    ASSERT_TRUE(launcher.isExecutable());
    QFile f(launcher.filePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray script = f.readAll();
    EXPECT_TRUE(script.startsWith("#!/bin/sh"));
    EXPECT_TRUE(script.contains("/../lib/velmora/velmora"))
        << "the launcher must find the reader from its own place";
}

TEST_F(Install, DesktopEntryAndMetainfoPassTheirValidators)
{
    const QString desktop = path("share/applications/" + kId + ".desktop");
    const QString metainfo = path("share/metainfo/" + kId + ".metainfo.xml");
    ASSERT_TRUE(QFileInfo(desktop).isFile());
    ASSERT_TRUE(QFileInfo(metainfo).isFile());
    const QString desktopValidator = QStandardPaths::findExecutable("desktop-file-validate");
    if (!desktopValidator.isEmpty()) {
        const ProcessRun r = runProcess(desktopValidator, {desktop});
        EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
    }
    const QString appstream = QStandardPaths::findExecutable("appstreamcli");
    if (appstream.isEmpty())
        GTEST_SKIP() << "appstreamcli is not installed";
    const ProcessRun r = runProcess(appstream, {"validate", "--no-net", metainfo});
    EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
}

TEST_F(Install, IconIsInTheHicolorTheme)
{
    const QImage icon(path("share/icons/hicolor/256x256/apps/" + kId + ".png"));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(256, 256));
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << "the badge is round; its corners are clear";
    EXPECT_EQ(qAlpha(icon.pixel(128, 128)), 255);
}

} // namespace
