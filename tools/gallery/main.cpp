#include "Gallery.h"
#include "Startup.h"
#include "WindowStartup.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTextStream>

// kovra-gallery                   shows the gallery in a window
// kovra-gallery --write-png DIR   writes gallery-light.png and gallery-dark.png into DIR
int main(int argc, char* argv[])
{
    QString pngDir;
    for (int n = 1; n + 1 < argc; ++n) {
        if (QByteArray(argv[n]) == "--write-png")
            pngDir = QString::fromLocal8Bit(argv[n + 1]);
    }
    // Pictures need no display.
    if (!pngDir.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    Startup::setApplicationIdentity();
    Startup::setWindowIcon();
    Startup::installApplicationFonts();

    Gallery gallery;
    if (pngDir.isEmpty()) {
        gallery.showAppearance(Inst::Dark);
        gallery.resize(1180, 900);
        gallery.show();
        return app.exec();
    }

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!QDir().mkpath(pngDir)) {
        err << "kovra-gallery: cannot create " << pngDir << "\n";
        return 1;
    }
    gallery.show();
    for (Inst::Appearance appearance : {Inst::Light, Inst::Dark}) {
        gallery.showAppearance(appearance);
        const QString path = QDir(pngDir).filePath(QStringLiteral("gallery-%1.png").arg(Inst::appearanceName(appearance)));
        if (!gallery.render().save(path)) {
            err << "kovra-gallery: cannot write " << path << "\n";
            return 1;
        }
        out << path << "\n";
    }
    return 0;
}
