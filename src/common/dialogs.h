#pragma once
// The modal questions and file choosers of the window, behind one interface so that tests can
// answer them without a human.

#include <QString>

class QWidget;

namespace tessaly {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A box with one text and an OK button; returns when it is closed.
    virtual void showMessage(QWidget* parent, const QString& text, const QString& caption) = 0;
    // A yes/no question; true for yes.
    virtual bool askYesNo(QWidget* parent, const QString& text, const QString& caption) = 0;
    // A yes/no question about something that could do harm: a warning whose default is no, so that
    // Enter or Escape declines. True only for yes.
    virtual bool askWarning(QWidget* parent, const QString& text, const QString& caption)
    {
        return askYesNo(parent, text, caption);
    }
    // The error box that ends a command.
    virtual void showError(QWidget* parent, const QString& text) = 0;
    // File choosers; an empty result means the user cancelled. filter uses the "caption|pattern|..." form.
    virtual QString getOpenFileName(QWidget* parent, const QString& title, const QString& folder,
                                    const QString& filter) = 0;
    virtual QString getSaveFileName(QWidget* parent, const QString& title, const QString& fileName,
                                    const QString& filter) = 0;
};

// Converts a "caption|pattern|caption|pattern" filter into the form the Qt file dialog takes,
// "caption (pattern)", naming the pattern once even where the caption already shows it; "*.*"
// becomes "*", which on Linux also matches names without a dot.
QString QtFilterFromPairs(const QString& pairs);
// The same filter with its every-file pair ("*.*") moved to the front, so that it is the one
// selected: Linux programs carry no extension of their own.
QString AllFilesFirst(const QString& pairs);
// The error box text: a full stop is appended when the last character sorts after ".".
QString ErrorBoxText(const QString& text);

// The real boxes and file dialogs.
class WidgetDialogs final : public Dialogs {
public:
    void showMessage(QWidget* parent, const QString& text, const QString& caption) override;
    bool askYesNo(QWidget* parent, const QString& text, const QString& caption) override;
    bool askWarning(QWidget* parent, const QString& text, const QString& caption) override;
    void showError(QWidget* parent, const QString& text) override;
    QString getOpenFileName(QWidget* parent, const QString& title, const QString& folder,
                            const QString& filter) override;
    QString getSaveFileName(QWidget* parent, const QString& title, const QString& fileName,
                            const QString& filter) override;
};

}  // namespace tessaly
