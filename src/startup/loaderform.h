// The loader: the program's start-up form, never shown. Its Load opens the content
// database, shows the main window and unloads the loader; its connection stays open
// for the rest of the process.
#pragma once

#include "content/connection.h"
#include "startup/autoobject.h"
#include "startup/form.h"
#include "startup/formreference.h"

namespace velmora::forms {

class LoaderForm : public Form {
public:
    // Where the database lies in the installation, and the text OpenAccess returns.
    static constexpr const char *kDatabasePath = "\\res\\chapter\\szh.dll";
    static constexpr const char *kDatabasePassword = "64tolvaner82";
    static constexpr const char *kMainFormName = "Form1";
    static const QString kConnectedText;  // "数据库连接成功"
    static const QString kFailureText;    // "数据库连接失败！"
    static const QString kFailureCaption; // "出错啦！"

    LoaderForm();

    // The connection to the content database, made on first use.
    AutoObject<content::Connection> adocnaccess;

    // Opens adocnaccess unless it is open: returns the connected text after opening it,
    // an empty text when it was open already. When the connection opens without an error
    // but is not open, shows the failure box and ends the process. Errors of the
    // connection are thrown (Failure) to the caller.
    QString OpenAccess();

    // The connection string for an installation at `applicationPath`.
    static std::string connectionString(const QString &applicationPath);

protected:
    void formLoad() override;
};

} // namespace velmora::forms

namespace velmora {
// The loader form's global reference.
inline forms::FormReference<forms::LoaderForm> Form2;
} // namespace velmora
