#pragma once
// Window-test stand-ins: dialogs that answer from a script and record what they were asked, and a
// URL opener that records its requests instead of starting a browser.

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

#include "common/dialogs.h"
#include "desktop/qt_url_opener.h"

namespace tessaly::test {

class RecordingDialogs final : public Dialogs {
public:
    struct Call {
        QString kind;  // "message", "question" or "error"
        QString text;
        QString caption;
    };
    QList<Call> calls;
    bool answer = true;  // the answer to every question

    void showMessage(QWidget*, const QString& text, const QString& caption) override
    {
        calls.append({QStringLiteral("message"), text, caption});
    }
    bool askYesNo(QWidget*, const QString& text, const QString& caption) override
    {
        calls.append({QStringLiteral("question"), text, caption});
        return answer;
    }
    void showError(QWidget*, const QString& text) override { calls.append({QStringLiteral("error"), text, {}}); }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }

    QStringList kinds() const
    {
        QStringList out;
        for (const Call& c : calls)
            out << c.kind;
        return out;
    }
};

class RecordingUrlOpener final : public UrlOpener {
public:
    QList<QUrl> urls;
    // Whether a modal box was still open when each request came.
    QList<bool> modalOpen;
    // What the requests answer: whether something on the system took them.
    bool opened = true;
    bool openUrl(const QUrl& url) override
    {
        urls.append(url);
        modalOpen.append(QApplication::activeModalWidget() != nullptr);
        return opened;
    }
};

}  // namespace tessaly::test
