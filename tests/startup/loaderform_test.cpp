// The loader: OpenAccess on real (made-up) installations, and the start-up order:
// connection first, then the main window, then the loader unloads itself.
#include "formtesting.h"
#include "installfolder.h"
#include "startup/loaderform.h"
#include "startup/runtime.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace velmora::forms {
namespace {

using testing::InstallFolder;
using testing::InstallOptions;
using testing::ProcessEnded;
using testing::RuntimeRecorder;

// Stands in for the main window: checks at its Load what the loader must have done.
class MainStandIn : public Form {
public:
    MainStandIn() : Form(QStringLiteral("Form1")) {}
    int loads = 0;
    bool connectionOpenAtLoad = false;
    bool loaderLoadedAtLoad = false;

protected:
    void formLoad() override
    {
        ++loads;
        connectionOpenAtLoad = Form2->adocnaccess->state() == content::ObjectState::Open;
        loaderLoadedAtLoad = Form2->isLoaded();
    }
};

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerForm(QStringLiteral("Form1"), [this]() -> Form & { return main; });
    }
    void TearDown() override
    {
        main.unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        releaseFormInstances();
    }
    void useInstallation(const InstallFolder &folder)
    {
        ASSERT_TRUE(folder.isValid());
        setApplicationPath(folder.path());
    }

    RuntimeRecorder recorder;
    MainStandIn main;
};

TEST(LoaderConnectionString, IsTheProgramsStringWithTheApplicationPath)
{
    EXPECT_EQ(LoaderForm::connectionString(QStringLiteral("/opt/velmora")),
              "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data "
              "Source=/opt/velmora\\res\\chapter\\szh.dll "
              ";Jet OLEDB:Database Password=64tolvaner82");
}

TEST_F(LoaderTest, OpenAccessOpensTheDatabaseOnceAndSaysSo)
{
    InstallFolder folder(InstallOptions{.pages = false, .movies = false});
    useInstallation(folder);
    EXPECT_EQ(Form2->OpenAccess(), QStringLiteral("数据库连接成功"));
    EXPECT_EQ(Form2->adocnaccess->state(), content::ObjectState::Open);
    EXPECT_EQ(Form2->adocnaccess->connectionTimeout(), 5);
    const auto connection = Form2->adocnaccess.shared();
    // Open already: nothing changes, and the text is empty.
    EXPECT_EQ(Form2->OpenAccess(), QString());
    EXPECT_EQ(Form2->adocnaccess.shared(), connection);
    EXPECT_FALSE(Form2->isLoaded()); // calling it never loaded the form
    EXPECT_TRUE(recorder.boxes.isEmpty());
}

// Installations the connection cannot open: the error goes to the caller, no box of
// OpenAccess's own, the connection stays closed.
struct BrokenInstall {
    const char *name;
    InstallOptions options;
    std::function<void(const InstallFolder &)> spoil;
};

TEST_F(LoaderTest, AConnectionThatCannotOpenPassesItsErrorOn)
{
    const BrokenInstall cases[] = {
        {"no database", InstallOptions{.database = false, .pages = false, .movies = false}, {}},
        {"wrong password", InstallOptions{.password = "not the one", .pages = false, .movies = false}, {}},
        {"password in other case",
         InstallOptions{.password = "64TOLVANER82", .pages = false, .movies = false},
         {}},
        {"not a database", InstallOptions{.database = false, .pages = false, .movies = false},
         [](const InstallFolder &f) { f.writeFile("res/Chapter/szh.dll", std::string(4096, 'x')); }},
        {"empty file", InstallOptions{.database = false, .pages = false, .movies = false},
         [](const InstallFolder &f) { f.writeFile("res/Chapter/szh.dll", ""); }},
    };
    for (const BrokenInstall &c : cases) {
        SCOPED_TRACE(c.name);
        releaseFormInstances();
        InstallFolder folder(c.options);
        if (c.spoil)
            c.spoil(folder);
        useInstallation(folder);
        try {
            (void)Form2->OpenAccess();
            ADD_FAILURE() << "opened";
        } catch (const Failure &failure) {
            EXPECT_FALSE(failure.error().description.empty());
        }
        EXPECT_EQ(Form2->adocnaccess->state(), content::ObjectState::Closed);
        EXPECT_TRUE(recorder.boxes.isEmpty());
    }
}

TEST_F(LoaderTest, TheDatabaseIsFoundWhateverTheCaseOfItsFolderAndName)
{
    InstallFolder folder(InstallOptions{.database = false, .pages = false, .movies = false});
    {
        InstallFolder source(InstallOptions{.pages = false, .movies = false});
        std::filesystem::create_directories(folder.root() / "RES" / "CHAPTER");
        std::filesystem::copy_file(source.root() / "res" / "Chapter" / "szh.dll",
                                   folder.root() / "RES" / "CHAPTER" / "SZH.DLL");
    }
    std::filesystem::remove_all(folder.root() / "res");
    useInstallation(folder);
    EXPECT_EQ(Form2->OpenAccess(), QStringLiteral("数据库连接成功"));
}

TEST_F(LoaderTest, TheStartUpOpensTheConnectionShowsTheMainWindowThenUnloadsTheLoader)
{
    InstallFolder folder(InstallOptions{.pages = false, .movies = false});
    useInstallation(folder);
    dispatch([] { Form2->load(); });
    EXPECT_EQ(main.loads, 1);
    EXPECT_TRUE(main.connectionOpenAtLoad);
    EXPECT_TRUE(main.loaderLoadedAtLoad);
    EXPECT_TRUE(main.isLoaded());
    EXPECT_TRUE(main.window()->isVisible());
    EXPECT_FALSE(Form2->isLoaded());
    EXPECT_EQ(loadedFormCount(), 1);
    // The loader's connection outlives its window; reading it loads nothing.
    EXPECT_EQ(Form2->adocnaccess->state(), content::ObjectState::Open);
    EXPECT_FALSE(Form2->isLoaded());
    EXPECT_TRUE(recorder.boxes.isEmpty());
}

TEST_F(LoaderTest, AStartUpWithoutTheDatabaseReportsOneErrorAndShowsNoWindow)
{
    InstallFolder folder(InstallOptions{.database = false, .pages = false, .movies = false});
    useInstallation(folder);
    try {
        (void)run(*Form2);
        ADD_FAILURE() << "the program ran on";
    } catch (const ProcessEnded &ended) {
        EXPECT_NE(ended.status, 0);
    }
    ASSERT_EQ(recorder.boxes.size(), 1);
    EXPECT_EQ(recorder.boxes[0].caption, QStringLiteral("Tarnwick"));
    EXPECT_EQ(main.loads, 0);
    Form2->unload();
}

} // namespace
} // namespace velmora::forms
