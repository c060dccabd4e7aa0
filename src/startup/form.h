// A form: an instance that lives for the process and a window that exists while the
// form is loaded. Load builds the window and raises the Load event; Unload raises the
// Unload event and, unless it was cancelled, destroys the window but keeps the instance.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace velmora::forms {

class Form;

// The window of a loaded form. Closing it from the title bar unloads the form.
class FormWindow : public QWidget {
    Q_OBJECT
public:
    explicit FormWindow(Form &form);
    Form &form() const { return m_form; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Form &m_form;
};

class Form {
public:
    explicit Form(QString name);
    virtual ~Form();
    Form(const Form &) = delete;
    Form &operator=(const Form &) = delete;

    const QString &name() const { return m_name; }
    bool isLoaded() const { return m_window != nullptr; }
    // The window while the form is loaded, else null.
    FormWindow *window() const { return m_window; }

    // Loads the form if it is not loaded: makes its window (hidden), then raises Load.
    void load();
    // Modeless show: loads the form first if needed (its whole Load runs inside this
    // call), then shows the window. Showing a form that unloaded itself in its Load is
    // an error, as there is no window left to show.
    void show();
    // Raises Unload; unless its handler cancels, the window is destroyed and the form
    // counts as unloaded. Returns false when cancelled. Nothing happens when not loaded.
    bool unload();

protected:
    // Puts the form's controls on its new window, before Load.
    virtual void buildWindow(FormWindow &window) { (void)window; }
    virtual void formLoad() {}
    // A non-zero `cancel` keeps the form loaded.
    virtual void formUnload(int &cancel) { (void)cancel; }
    // The window is gone: pointers to its controls must be dropped.
    virtual void windowReleased() {}
    // Destroys the window at once, without Unload (the end of the process). A form whose
    // window's objects refer to it calls this in its own destructor, before its members go.
    void discardWindow();

private:
    QString m_name;
    QPointer<FormWindow> m_window;
};

} // namespace velmora::forms
