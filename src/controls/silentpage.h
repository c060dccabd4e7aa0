// A web page that, while silent, raises no dialog, menu or window of its own: script
// boxes, file pickers, certificate and login prompts, permission requests, new windows.
#pragma once

#include <QWebEnginePage>

namespace velmora::controls {

class SilentPage : public QWebEnginePage {
    Q_OBJECT
public:
    SilentPage(QWebEngineProfile *profile, QObject *parent = nullptr);

    bool isSilent() const { return m_silent; }
    void setSilent(bool silent) { m_silent = silent; }

protected:
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int lineNumber,
                                  const QString &sourceID) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;
    QWebEnginePage *createWindow(WebWindowType type) override;

private:
    bool m_silent = false;
};

} // namespace velmora::controls
