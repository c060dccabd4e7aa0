#include "startup/loaderform.h"

#include "startup/runtime.h"

namespace velmora::forms {

const QString LoaderForm::kConnectedText = QStringLiteral("数据库连接成功");
const QString LoaderForm::kFailureText = QStringLiteral("数据库连接失败！");
const QString LoaderForm::kFailureCaption = QStringLiteral("出错啦！");

LoaderForm::LoaderForm() : Form(QStringLiteral("Form2")) {}

std::string LoaderForm::connectionString(const QString &applicationPath)
{
    // The blank before ";Jet" belongs to the string as the program has always written
    // it; blanks around a value are not part of the value.
    return "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" +
           applicationPath.toStdString() + kDatabasePath +
           " ;Jet OLEDB:Database Password=" + kDatabasePassword;
}

QString LoaderForm::OpenAccess()
{
    if (adocnaccess->state() == content::ObjectState::Open)
        return {};
    adocnaccess->setConnectionString(connectionString(applicationPath()));
    adocnaccess->setConnectionTimeout(5);
    adocnaccess->setApplicationPath(applicationPath().toStdString());
    adocnaccess->open().check();
    if (adocnaccess->state() == content::ObjectState::Open)
        return kConnectedText;
    messageBox(kFailureText, kFailureCaption, MessageIcon::Warning);
    endProcess(kFailureStatus);
}

void LoaderForm::formLoad()
{
    OpenAccess();
    form(QString::fromLatin1(kMainFormName)).show();
    unload();
}

} // namespace velmora::forms
