#include "startup/form.h"

#include "common/error.h"
#include "startup/runtime.h"

#include <QCloseEvent>

namespace velmora::forms {

FormWindow::FormWindow(Form &form) : m_form(form)
{
    setObjectName(form.name());
}

void FormWindow::closeEvent(QCloseEvent *event)
{
    // The window goes (or stays) through Unload; Qt must not close it on its own.
    event->ignore();
    dispatch([this] { m_form.unload(); });
}

Form::Form(QString name) : m_name(std::move(name)) {}

Form::~Form()
{
    discardWindow();
}

void Form::discardWindow()
{
    if (!m_window)
        return;
    FormWindow *window = m_window;
    m_window = nullptr;
    internal::formUnloaded(*this);
    windowReleased();
    delete window;
}

void Form::load()
{
    if (isLoaded())
        return;
    m_window = new FormWindow(*this);
    internal::formLoaded(*this);
    buildWindow(*m_window);
    formLoad();
}

void Form::show()
{
    load();
    if (!isLoaded())
        throw Failure(Error(364, "Object was unloaded"));
    m_window->show();
    // A form that is shown comes to the front with the input focus, as a new window should.
    m_window->activateWindow();
}

bool Form::unload()
{
    if (!isLoaded())
        return true;
    int cancel = 0;
    formUnload(cancel);
    if (cancel != 0 || !isLoaded())
        return cancel == 0;
    FormWindow *window = m_window;
    m_window = nullptr;
    internal::formUnloaded(*this);
    windowReleased();
    // Later: Unload may run inside an event of this very window.
    window->hide();
    window->deleteLater();
    return true;
}

} // namespace velmora::forms
