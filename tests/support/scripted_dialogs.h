#pragma once
// Dialogs for window tests: boxes are recorded instead of shown, questions and file choosers are
// answered from a script (an empty answer when the script has run out: "cancelled").

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include "common/dialogs.h"

namespace tessaly::test {

class ScriptedDialogs final : public Dialogs {
public:
    struct Box {
        QString kind;  // "message", "question", "error"
        QString text;
        QString caption;
    };

    void showMessage(QWidget*, const QString& text, const QString& caption) override
    {
        boxes.append({QStringLiteral("message"), text, caption});
    }
    bool askYesNo(QWidget*, const QString& text, const QString& caption) override
    {
        boxes.append({QStringLiteral("question"), text, caption});
        if (onQuestion)
            onQuestion();
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    void showError(QWidget*, const QString& text) override
    {
        boxes.append({QStringLiteral("error"), text, QString()});
    }
    QString getOpenFileName(QWidget*, const QString& title, const QString& folder, const QString& filter) override
    {
        choosers.append({title, folder, filter});
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString getSaveFileName(QWidget*, const QString& title, const QString& fileName, const QString& filter) override
    {
        choosers.append({title, fileName, filter});
        return files.isEmpty() ? QString() : files.takeFirst();
    }

    QList<Box> boxes;
    QList<QStringList> choosers;  // title, folder or file name, filter of each chooser shown
    QList<bool> answers;          // for questions, in order
    std::function<void()> onQuestion;  // called while a question is open, to look at the window
    QStringList files;            // for file choosers, in order
};

}  // namespace tessaly::test
