#pragma once

#include "ModalBoxes.h"

#include <QList>
#include <QString>
#include <QStringList>

// Answers the program's modal boxes in tests: records every box it was shown and gives the
// queued answers in order (No, and no file, once the queue is empty).
class ScriptedBoxes : public ModalBoxes {
public:
    struct Shown {
        QString kind;    // "question", "information", "warning", "about", "save", "open"
        QString title;
        QString text;
    };

    QList<Shown> shown;
    QList<bool> answers;
    QStringList fileNames;

    bool question(QWidget*, const QString& title, const QString& text) override
    {
        shown.append({"question", title, text});
        return !answers.isEmpty() && answers.takeFirst();
    }
    void information(QWidget*, const QString& title, const QString& text) override
    {
        shown.append({"information", title, text});
    }
    void warning(QWidget*, const QString& title, const QString& text) override
    {
        shown.append({"warning", title, text});
    }
    void about(QWidget*, const QString& title, const QString& richText, const QString&) override
    {
        shown.append({"about", title, richText});
    }
    QString saveFileName(QWidget*, const QString& title, const QString& proposal, const QString&) override
    {
        shown.append({"save", title, proposal});
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
    QString openFileName(QWidget*, const QString& title, const QString& directory, const QString&) override
    {
        shown.append({"open", title, directory});
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }

    QStringList titles() const
    {
        QStringList result;
        for (const Shown& box : shown)
            result << box.title;
        return result;
    }
};
