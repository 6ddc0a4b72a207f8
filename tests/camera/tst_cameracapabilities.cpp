#include "CameraApi.h"
#include "CameraCapabilities.h"
#include "ModelProfile.h"

#include <QTest>

class TestCameraCapabilities : public QObject {
    Q_OBJECT

private slots:
    void fromModel_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("ndFilter");
        QTest::addColumn<bool>("storage");
        QTest::addColumn<bool>("phantomPower");
        QTest::addColumn<bool>("offSpeed");
        QTest::addColumn<bool>("changeFormat");

        QTest::newRow("empty model") << "" << true << true << true << true << true;
        QTest::newRow("unknown model") << "Cinema Camera 6K" << true << true << true << true << true;
        QTest::newRow("micro studio 4K G2 before studio 4K") << "Blackmagic Micro Studio Camera 4K G2"
                                                             << false << false << false << false << false;
        QTest::newRow("studio 4K plus G2") << "Blackmagic Studio Camera 4K Plus G2"
                                           << false << false << false << false << false;
        QTest::newRow("studio 4K pro") << "Blackmagic Studio Camera 4K Pro G2" << true << false << true << false << false;
        QTest::newRow("studio 6K pro") << "Blackmagic Studio Camera 6K Pro" << true << false << true << false << false;
        QTest::newRow("pocket 4K") << "Blackmagic Pocket Cinema Camera 4K" << false << true << true << true << true;
        QTest::newRow("pocket 6K G2") << "Blackmagic Pocket Cinema Camera 6K G2" << false << true << true << true << true;
        QTest::newRow("pocket 6K pro") << "Blackmagic Pocket Cinema Camera 6K Pro" << true << true << true << true << true;
        QTest::newRow("ursa mini pro 4.6K") << "URSA Mini Pro 4.6K G2" << true << true << true << true << true;
        QTest::newRow("ursa mini pro 12K past row 7") << "URSA Mini Pro 12K" << true << true << true << true << true;
        QTest::newRow("ursa broadcast") << "URSA Broadcast G2" << true << true << true << true << true;
        QTest::newRow("pyxis") << "Blackmagic PYXIS 6K" << false << true << true << true << true;
        // Rows 7 to 9 decide what the default would, so each is told apart by a later row it must win over.
        QTest::newRow("ursa mini pro 4.6K wins over pyxis") << "URSA Mini Pro 4.6K PYXIS" << true << true << true << true << true;
        QTest::newRow("ursa 12K wins over pyxis") << "URSA 12K PYXIS" << true << true << true << true << true;
        QTest::newRow("ursa broadcast wins over pyxis") << "URSA Broadcast PYXIS" << true << true << true << true << true;
        QTest::newRow("lower-case pyxis is unknown") << "Blackmagic pyxis 6K" << true << true << true << true << true;
        QTest::newRow("lower-case pocket is unknown") << "pocket cinema camera 4k" << true << true << true << true << true;
    }

    void fromModel()
    {
        QFETCH(QString, model);
        const CameraCapabilities caps = CameraCapabilities::fromModel(model);
        QCOMPARE(caps.model, model);
        QTEST(caps.hasNdFilter, "ndFilter");
        QTEST(caps.hasStorage, "storage");
        QTEST(caps.hasPhantomPower, "phantomPower");
        QTEST(caps.hasOffSpeed, "offSpeed");
        QTEST(caps.canChangeFormat, "changeFormat");
    }

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
            QTest::newRow(qPrintable(QStringLiteral("Blackmagic %1").arg(QLatin1String(product))))
                << QStringLiteral("Blackmagic %1").arg(QLatin1String(product));
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
        QCOMPARE(caps.hasNdFilter, simulated.ndFilter);
        QCOMPARE(caps.hasStorage, simulated.storage);
        QCOMPARE(caps.hasPhantomPower, simulated.phantomPower);
        QCOMPARE(caps.hasOffSpeed, simulated.offSpeed);
        QCOMPARE(caps.canChangeFormat, simulated.formatChoice);
    }
};

QTEST_GUILESS_MAIN(TestCameraCapabilities)
#include "tst_cameracapabilities.moc"
