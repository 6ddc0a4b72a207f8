#include "CameraReply.h"

#include <QJsonArray>
#include <QTest>

class TestCameraReply : public QObject {
    Q_OBJECT

private slots:
    void parseBody_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QJsonObject>("expected");
        QTest::newRow("object") << QByteArray(R"({"iso":800})") << QJsonObject{{"iso", 800}};
        QTest::newRow("array wrapped") << QByteArray(R"([{"input":"None"}])")
                                       << QJsonObject{{"items", QJsonArray{QJsonObject{{"input", "None"}}}}};
        QTest::newRow("empty array") << QByteArray("[]") << QJsonObject{{"items", QJsonArray{}}};
        QTest::newRow("empty body") << QByteArray() << QJsonObject{};
        QTest::newRow("trailing garbage") << QByteArray(R"({"iso":800}<html>)") << QJsonObject{};
        QTest::newRow("html error page") << QByteArray("<html><body>Not Found</body></html>") << QJsonObject{};
        QTest::newRow("number") << QByteArray("42") << QJsonObject{};
        QTest::newRow("null") << QByteArray("null") << QJsonObject{};
    }

    void parseBody()
    {
        QFETCH(QByteArray, body);
        QTEST(CameraReply::parseBody(body), "expected");
    }
};

QTEST_GUILESS_MAIN(TestCameraReply)
#include "tst_camerareply.moc"
