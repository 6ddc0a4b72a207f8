#include "ModalBoxes.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

class StandardBoxes : public ModalBoxes {
public:
    bool question(QWidget* parent, const QString& title, const QString& text) override
    {
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
               == QMessageBox::Yes;
    }
    void information(QWidget* parent, const QString& title, const QString& text) override
    {
        QMessageBox::information(parent, title, text);
    }
    void warning(QWidget* parent, const QString& title, const QString& text) override
    {
        QMessageBox::warning(parent, title, text);
    }
    QString saveFileName(QWidget* parent, const QString& title, const QString& proposal,
                         const QString& filter) override
    {
        return QFileDialog::getSaveFileName(parent, title, proposal, filter);
    }
    QString openFileName(QWidget* parent, const QString& title, const QString& directory,
                         const QString& filter) override
    {
        return QFileDialog::getOpenFileName(parent, title, directory, filter);
    }
};

}

ModalBoxes* ModalBoxes::standard()
{
    static StandardBoxes boxes;
    return &boxes;
}
