// The form runtime: Load inside Show, Unload keeping the instance, the dispatcher's
// report of unhandled errors, the end of the run when no form is loaded.
#include "common/result.h"
#include "formtesting.h"
#include "startup/autoobject.h"
#include "startup/form.h"
#include "startup/formreference.h"
#include "startup/runtime.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>

namespace velmora::forms {
namespace {

using testing::ProcessEnded;
using testing::RuntimeRecorder;

// Records its events and what it saw at each.
class ProbeForm : public Form {
public:
    ProbeForm() : Form(QStringLiteral("Probe")) {}

    int loads = 0;
    int unloads = 0;
    int cancelWith = 0;
    bool visibleDuringLoad = true;
    int keptValue = 0;
    std::function<void(ProbeForm &)> onLoad;

protected:
    void formLoad() override
    {
        ++loads;
        visibleDuringLoad = window()->isVisible();
        if (onLoad)
            onLoad(*this);
    }
    void formUnload(int &cancel) override
    {
        ++unloads;
        cancel = cancelWith;
    }
};

class FormTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        releaseFormInstances();
        ASSERT_EQ(loadedFormCount(), 0);
    }
    RuntimeRecorder recorder;
};

TEST_F(FormTest, ShowRunsTheWholeLoadBeforeTheWindowAppearsAndOnlyOnce)
{
    ProbeForm form;
    form.show();
    form.show();
    EXPECT_EQ(form.loads, 1);
    EXPECT_FALSE(form.visibleDuringLoad);
    ASSERT_TRUE(form.isLoaded());
    EXPECT_TRUE(form.window()->isVisible());
    EXPECT_EQ(loadedFormCount(), 1);
    EXPECT_TRUE(form.unload());
}

TEST_F(FormTest, UnloadDestroysTheWindowButKeepsTheInstanceAndItsVariables)
{
    ProbeForm form;
    form.show();
    form.keptValue = 42;
    QPointer<QWidget> window = form.window();
    EXPECT_TRUE(form.unload());
    EXPECT_FALSE(form.isLoaded());
    EXPECT_EQ(form.window(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(form.keptValue, 42);
    EXPECT_EQ(loadedFormCount(), 0);
    // Loading again makes a new window and raises Load again.
    form.show();
    EXPECT_EQ(form.loads, 2);
    EXPECT_TRUE(form.unload());
    EXPECT_EQ(form.unloads, 2);
}

TEST_F(FormTest, CancelledUnloadKeepsTheFormLoaded)
{
    ProbeForm form;
    form.show();
    form.cancelWith = 1;
    EXPECT_FALSE(form.unload());
    EXPECT_TRUE(form.isLoaded());
    EXPECT_TRUE(form.window()->isVisible());
    form.cancelWith = 0;
    EXPECT_TRUE(form.unload());
}

TEST_F(FormTest, ClosingTheWindowRaisesUnloadThroughTheDispatcher)
{
    ProbeForm form;
    form.show();
    form.cancelWith = 1;
    form.window()->close();
    EXPECT_EQ(form.unloads, 1);
    EXPECT_TRUE(form.isLoaded());
    form.cancelWith = 0;
    form.window()->close();
    EXPECT_EQ(form.unloads, 2);
    EXPECT_FALSE(form.isLoaded());
}

TEST_F(FormTest, ShowingAFormThatUnloadedItselfInItsLoadIsAnError)
{
    ProbeForm form;
    form.onLoad = [](ProbeForm &f) { f.unload(); };
    try {
        form.show();
        FAIL() << "no error";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.error().number, 364);
    }
    EXPECT_FALSE(form.isLoaded());
}

TEST_F(FormTest, UnloadingAFormThatIsNotLoadedDoesNothing)
{
    ProbeForm form;
    EXPECT_TRUE(form.unload());
    EXPECT_EQ(form.unloads, 0);
}

// Every way out of a handler, and what the report shows.
struct UnhandledCase {
    const char *name;
    std::function<void()> handler;
    long number;
    QString description;
};

TEST_F(FormTest, AnErrorLeavingAHandlerIsReportedOnceUnderTheProgramTitleAndEndsTheProcess)
{
    const UnhandledCase cases[] = {
        {"failure", [] { throw Failure(Error(3021, "Either BOF or EOF is True.")); }, 3021,
         QStringLiteral("Either BOF or EOF is True.")},
        {"negative number", [] { throw Failure(Error(-2147467259, "Not a valid password.")); }, -2147467259,
         QStringLiteral("Not a valid password.")},
        {"standard exception", [] { throw std::runtime_error("bad thing"); }, kInternalErrorNumber,
         QStringLiteral("bad thing")},
        {"failed result", [] { Result<void>(Error(7, "Out of memory")).check(); }, 7,
         QStringLiteral("Out of memory")},
        {"neither a failure nor a standard exception", [] { throw 42; }, kInternalErrorNumber,
         QStringLiteral("Internal error")},
    };
    for (const UnhandledCase &c : cases) {
        SCOPED_TRACE(c.name);
        recorder.boxes.clear();
        bool ranAfter = false;
        try {
            dispatch([&] {
                c.handler();
                ranAfter = true;
            });
            ADD_FAILURE() << "the process went on";
        } catch (const ProcessEnded &ended) {
            EXPECT_NE(ended.status, 0);
        }
        EXPECT_FALSE(ranAfter);
        ASSERT_EQ(recorder.boxes.size(), 1);
        EXPECT_EQ(recorder.boxes[0].caption, QStringLiteral("Tarnwick"));
        EXPECT_EQ(recorder.boxes[0].icon, MessageIcon::Critical);
        EXPECT_TRUE(recorder.boxes[0].text.contains(QString::number(c.number)))
            << recorder.boxes[0].text.toStdString();
        EXPECT_TRUE(recorder.boxes[0].text.contains(c.description)) << recorder.boxes[0].text.toStdString();
        // The dispatcher's nesting is unwound: a handler run now is the outermost, and
        // with no form loaded its end ends the run.
        QTimer::singleShot(0, [] { dispatch([] {}); });
        QTimer timeout;
        timeout.callOnTimeout([] { QCoreApplication::exit(1); });
        timeout.start(5000);
        EXPECT_EQ(QCoreApplication::exec(), 0) << "a handler still counted as running";
    }
}

TEST_F(FormTest, HandlersPostedBeforeTheReportNeitherRunNorShowASecondBox)
{
    // The box's own event loop runs what was posted before it: here, while it shows, a
    // second command that would fail too, and one inside a handler nested in the first.
    int laterRuns = 0;
    setMessageBoxHook([&](const MessageBoxRequest &box) {
        recorder.boxes.append(box);
        dispatch([&] {
            ++laterRuns;
            throw Failure(Error(3021, "Either BOF or EOF is True."));
        });
    });
    try {
        dispatch([] { dispatch([] { throw Failure(Error(91, "Object variable not set")); }); });
        ADD_FAILURE() << "the process went on";
    } catch (const ProcessEnded &ended) {
        EXPECT_NE(ended.status, 0);
    }
    EXPECT_EQ(laterRuns, 0);
    ASSERT_EQ(recorder.boxes.size(), 1);
    EXPECT_TRUE(recorder.boxes[0].text.contains(QStringLiteral("91")));
    // Ended in a test only: the next run starts afresh.
    int runs = 0;
    dispatch([&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

TEST_F(FormTest, AHandlerThatSucceedsShowsNothing)
{
    int runs = 0;
    dispatch([&] { ++runs; });
    dispatch([&] { dispatch([&] { ++runs; }); });
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(recorder.boxes.isEmpty());
}

// The run: Load of the start-up form, then events until no form is loaded.
class StarterForm : public Form {
public:
    StarterForm() : Form(QStringLiteral("Starter")) {}
    std::function<void()> onLoad;

protected:
    void formLoad() override
    {
        if (onLoad)
            onLoad();
    }
};

TEST_F(FormTest, TheRunEndsWhenTheLastLoadedFormIsClosed)
{
    StarterForm starter;
    ProbeForm main;
    registerForm(QStringLiteral("Probe"), [&]() -> Form & { return main; });
    starter.onLoad = [&] {
        form(QStringLiteral("probe")).show(); // names are matched without regard to case
        starter.unload();
        // The user closes the window once the program runs.
        QTimer::singleShot(0, [&] { main.window()->close(); });
    };
    EXPECT_EQ(run(starter), 0);
    EXPECT_EQ(main.loads, 1);
    EXPECT_EQ(main.unloads, 1);
    EXPECT_FALSE(starter.isLoaded());
}

TEST_F(FormTest, ARunWhoseStartUpLeavesNoFormLoadedEndsAtOnce)
{
    StarterForm starter;
    starter.onLoad = [&] { starter.unload(); };
    EXPECT_EQ(run(starter), 0);
}

TEST_F(FormTest, AnErrorInTheStartUpIsReportedAndNoWindowIsShown)
{
    StarterForm starter;
    ProbeForm main;
    registerForm(QStringLiteral("Probe"), [&]() -> Form & { return main; });
    main.onLoad = [](ProbeForm &) { throw Failure(Error(-2147467259, "Could not find file 'szh.dll'.")); };
    starter.onLoad = [&] { form(QStringLiteral("Probe")).show(); };
    EXPECT_THROW(run(starter), ProcessEnded);
    ASSERT_EQ(recorder.boxes.size(), 1);
    EXPECT_EQ(recorder.boxes[0].caption, QStringLiteral("Tarnwick"));
    EXPECT_FALSE(main.window()->isVisible());
    main.unload();
    starter.unload();
}

TEST_F(FormTest, AnUnknownFormNameIsAnError)
{
    EXPECT_THROW(form(QStringLiteral("NoSuchForm")), Failure);
}

TEST(AutoObjectTest, AReferenceToNothingMakesANewObject)
{
    struct Counter {
        int value = 0;
    };
    AutoObject<Counter> variable;
    EXPECT_TRUE(variable.isNothing());
    variable->value = 5;
    EXPECT_FALSE(variable.isNothing());
    const auto first = variable.shared();
    EXPECT_EQ(variable->value, 5);
    variable.reset();
    EXPECT_TRUE(variable.isNothing());
    EXPECT_EQ(variable->value, 0); // a fresh object, not the old one
    EXPECT_NE(variable.shared(), first);
    EXPECT_EQ(first->value, 5); // whoever shared the old one keeps it
}

struct Probed : ProbeForm {};
inline FormReference<Probed> ProbeReference;

TEST_F(FormTest, AFormReferenceMakesOneInstanceOnFirstUseWithoutLoadingIt)
{
    EXPECT_FALSE(ProbeReference.exists());
    ProbeReference->keptValue = 3;
    EXPECT_TRUE(ProbeReference.exists());
    EXPECT_FALSE(ProbeReference->isLoaded());
    EXPECT_EQ(&*ProbeReference, &*ProbeReference);
    EXPECT_EQ(ProbeReference->keptValue, 3);
    releaseFormInstances();
    EXPECT_FALSE(ProbeReference.exists());
}

} // namespace
} // namespace velmora::forms
