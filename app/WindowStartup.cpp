#include "WindowStartup.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>

namespace Startup {

void setWindowIcon()
{
    QApplication::setWindowIcon(QIcon(":/icons/KovraControl.png"));
}

void installApplicationFonts()
{
    // A font that cannot be registered is skipped; the request below still names the family.
    for (const char* weight : {"Regular", "Medium", "SemiBold", "Bold"})
        QFontDatabase::addApplicationFont(QString(":/fonts/IBMPlexSans-%1.otf").arg(weight));
    QFont font("IBM Plex Sans");
    font.setPointSize(13);
    QApplication::setFont(font);
}

}
