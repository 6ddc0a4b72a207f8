#pragma once

#include <QString>

class QWidget;

// Every modal box the window and the panels open: questions, notices and file choosers.
// The program uses the standard boxes; tests hand a scripted one to the constructors, so a
// test never waits on a box a person would have to close.
class ModalBoxes {
public:
    virtual ~ModalBoxes() = default;

    // Yes and No buttons with No the default; true only for Yes.
    virtual bool question(QWidget* parent, const QString& title, const QString& text) = 0;
    // One OK button.
    virtual void information(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void warning(QWidget* parent, const QString& title, const QString& text) = 0;
    // Rich text beside the icon drawn at 64 x 64, one OK button.
    virtual void about(QWidget* parent, const QString& title, const QString& richText, const QString& iconPath) = 0;
    // Empty when the operator cancels.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& proposal,
                                 const QString& filter) = 0;
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& directory,
                                 const QString& filter) = 0;

    // The standard boxes, shared by everything that was given none.
    static ModalBoxes* standard();
    static ModalBoxes* orStandard(ModalBoxes* boxes) { return boxes ? boxes : standard(); }
};
