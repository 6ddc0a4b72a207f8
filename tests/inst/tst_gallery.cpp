#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestGallery : public QObject {
    Q_OBJECT

private slots:
    void writesBothAppearances()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcess gallery;
        gallery.start(KOVRA_GALLERY_BINARY, {"--write-png", dir.filePath("out")});
        QVERIFY(gallery.waitForFinished(60000));
        QCOMPARE(gallery.exitStatus(), QProcess::NormalExit);
        QCOMPARE(gallery.exitCode(), 0);

        const QImage light(dir.filePath("out/gallery-light.png"));
        const QImage dark(dir.filePath("out/gallery-dark.png"));
        QVERIFY(!light.isNull());
        QVERIFY(!dark.isNull());
        QVERIFY(light.height() > 1000);
        QCOMPARE(light.size(), dark.size());
        // Right of the tabs the window itself shows: the panel colour of each appearance.
        QCOMPARE(light.pixelColor(light.width() - 10, 45).name(), QStringLiteral("#f4f4f5"));
        QCOMPARE(dark.pixelColor(dark.width() - 10, 45).name(), QStringLiteral("#07090c"));
    }
};

QTEST_MAIN(TestGallery)
#include "tst_gallery.moc"
