// What the forms of the program rely on from their runtime: the application path,
// modal message boxes, ending the process, one dispatcher for every event handler, the
// forms known by name, and the run that lasts while any form is loaded.
#pragma once

#include "common/error.h"

#include <QString>

#include <functional>

namespace velmora::forms {

class Form;

// The caption of the report of an unhandled error: the program's title.
inline constexpr const char *kProgramTitle = "Tarnwick";
// Exit status of a process ended by a failure (an unhandled error, a failed connection).
inline constexpr int kFailureStatus = 1;
// Error number given to a failure that carries no number of its own (an internal fault).
inline constexpr long kInternalErrorNumber = 51;
// Description given to a failure that carries no text of its own.
inline constexpr const char *kInternalErrorDescription = "Internal error";

enum class MessageIcon { None, Information, Warning, Critical };

struct MessageBoxRequest {
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::None;
};

// The folder of the executable, symbolic links resolved, without a trailing separator.
QString applicationPath();
// Tests run from a build folder and point the program at a made-up installation.
void setApplicationPath(const QString &path);

// A modal box with one OK button; returns when the user has closed it.
void messageBox(const QString &text, const QString &caption, MessageIcon icon);

// Ends the process at once: no Unload event and no further code of the program runs.
[[noreturn]] void endProcess(int status);

// Shows the report of `error` under the program's title, then ends the process. Only
// the first report shows a box: one asked for while it shows ends the process at once.
[[noreturn]] void reportUnhandledError(const Error &error);

// Runs one event handler. A Failure (or any other exception, of any type) that leaves it
// is reported with reportUnhandledError. When the outermost handler returns and no form
// is loaded any more, the event loop is told to end. Once the process has begun to end,
// handlers no longer run.
void dispatch(const std::function<void()> &handler);

// Forms are known by name, so that a form can show another without linking to it.
void registerForm(const QString &name, std::function<Form &()> instance);
// The instance of the form called `name`; a Failure when no such form exists.
Form &form(const QString &name);

int loadedFormCount();

// The program: raises the Load event of `startup` (loading it without showing it) inside
// the dispatcher, then runs the event loop until no form is loaded. Returns the exit status.
int run(Form &startup);

// Test hooks. A box hook answers boxes instead of showing them; an ender must not return
// (throw), since the code after endProcess must never run.
void setMessageBoxHook(std::function<void(const MessageBoxRequest &)> hook);
void setProcessEnder(std::function<void(int status)> ender);

namespace internal {
void formLoaded(Form &form);
void formUnloaded(Form &form);
} // namespace internal

} // namespace velmora::forms
