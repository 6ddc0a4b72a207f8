#include "ModalBoxes.h"

#include <QFileDialog>
#include <QIcon>
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
    void about(QWidget* parent, const QString& title, const QString& richText, const QString& iconPath) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(title);
        box.setIconPixmap(QIcon(iconPath).pixmap(64, 64));
        box.setTextFormat(Qt::RichText);
        box.setText(richText);
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
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
