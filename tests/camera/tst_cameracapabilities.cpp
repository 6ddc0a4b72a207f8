#include "CameraApi.h"
#include "CameraCapabilities.h"
#include "ModelProfile.h"

#include <QTest>

class TestCameraCapabilities : public QObject {
    Q_OBJECT

private slots:
    // The simulator describes each product on its own; the table must agree with it.
    void agreesWithTheSimulatedProducts_data()
    {
        QTest::addColumn<QString>("product");
        for (const char* product :
             {"Micro Studio Camera 4K G2", "Studio Camera 4K Plus", "Studio Camera 4K Plus G2", "Studio Camera 4K Pro",
              "Studio Camera 4K Pro G2", "Studio Camera 6K Pro", "Pocket Cinema Camera 4K", "Pocket Cinema Camera 6K",
              "Pocket Cinema Camera 6K G2", "Pocket Cinema Camera 6K Pro", "URSA Mini Pro 4.6K G2", "URSA Mini Pro 12K",
              "URSA Mini Pro 12K OLPF", "URSA Cine 12K LF", "URSA Broadcast G2", "PYXIS 6K", "Cinema Camera 6K",
              "HyperDeck Studio HD Plus", "ATEM Mini Pro", "Web Presenter 4K"}) {
            QTest::newRow(product) << QString::fromLatin1(product);
            const QString full = QStringLiteral("Blackmagic %1").arg(QLatin1String(product));
            QTest::newRow(qPrintable(full)) << full;
        }
    }

    void agreesWithTheSimulatedProducts()
    {
        QFETCH(QString, product);
        const ModelProfile simulated = ModelProfile::forProduct(product);
        QCOMPARE(CameraApi::productLooksLikeCamera(product), simulated.isCamera);
        if (!simulated.isCamera)
            return;
        const CameraCapabilities caps = CameraCapabilities::fromModel(product);
        QCOMPARE(caps.model, product);
        QCOMPARE(caps.hasNdFilter, simulated.ndFilter);
        QCOMPARE(caps.hasStorage, simulated.storage);
        QCOMPARE(caps.hasPhantomPower, simulated.phantomPower);
        QCOMPARE(caps.hasOffSpeed, simulated.offSpeed);
        QCOMPARE(caps.canChangeFormat, simulated.formatChoice);
    }

    // Names no product has: the first matching row of the table decides, and case counts.
    void firstMatchWins_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("ndFilter");
        QTest::newRow("ursa mini pro 4.6K before pyxis") << "URSA Mini Pro 4.6K PYXIS" << true;
        QTest::newRow("ursa 12K before pyxis") << "URSA 12K PYXIS" << true;
        QTest::newRow("ursa broadcast before pyxis") << "URSA Broadcast PYXIS" << true;
        QTest::newRow("lower-case pyxis is unknown") << "Blackmagic pyxis 6K" << true;
        QTest::newRow("lower-case pocket is unknown") << "pocket cinema camera 4k" << true;
    }

    void firstMatchWins()
    {
        QFETCH(QString, model);
        QTEST(CameraCapabilities::fromModel(model).hasNdFilter, "ndFilter");
    }
};

QTEST_GUILESS_MAIN(TestCameraCapabilities)
#include "tst_cameracapabilities.moc"
