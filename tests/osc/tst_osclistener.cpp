#include "OscListener.h"
#include "OscTestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace osc;

namespace {
QByteArray focusMessage(float value)
{
    return oscPacket([value](OutboundPacketStream& p) { p << BeginMessage("/camera/1/focus") << value << EndMessage; });
}

QByteArray word(quint32 value)
{
    return QByteArray(1, char(value >> 24)) + char(value >> 16) + char(value >> 8) + char(value);
}

// "/s" with one string of the given length, padded as the format wants.
QByteArray stringMessage(int length)
{
    return QByteArray("/s\0\0,s\0\0", 8) + QByteArray(length, 'z') + QByteArray(4 - length % 4, 0);
}

const QByteArray bundleHeader = QByteArray("#bundle\0", 8) + QByteArray(8, 0);

// A listener that has bound a free port and reports every message; its own destructor stops it.
struct Running {
    OscListener listener;
    QSignalSpy messages{&listener, &OscListener::messageReceived};
    QSignalSpy started{&listener, &OscListener::started};
    quint16 port = freeUdpPort();
    explicit Running(const QString& bindAddress = QString())
    {
        listener.setPort(port);
        listener.setBindAddress(bindAddress);
        listener.start();
    }
    bool waitStarted() { return started.count() > 0 || started.wait(5000); }
    QString address(int i) const { return messages.at(i).at(0).toString(); }
    QVariantList args(int i) const { return messages.at(i).at(1).toList(); }
};
}

class TestOscListener : public QObject {
    Q_OBJECT

private slots:
    // Bound to 127.0.0.2, a datagram to 127.0.0.1 on the same port is not received.
    void argumentsFromAnOutsidePeer()
    {
        Running r("127.0.0.2");
        QVERIFY(r.waitStarted());
        QCOMPARE(r.started.first().first().toInt(), int(r.port));
        sendDatagram(r.port, focusMessage(1.0f));
        QCOMPARE(QProcess::execute("oscsend", {"127.0.0.2", QString::number(r.port), "/camera/2/cc/lift", "ihfdsTNF",
                                               "3", "-5000000000", "0.5", "-0.25", "ünïcode"}), 0);
        QVERIFY(r.messages.wait(5000));
        QCOMPARE(r.messages.count(), 1);
        QCOMPARE(r.address(0), QString("/camera/2/cc/lift"));
        const QVariantList expected = {3, qlonglong(-5000000000LL), 0.5, -0.25, QString("ünïcode"), true, false};
        QCOMPARE(r.args(0), expected);
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(r.args(0).at(i).typeId(), expected.at(i).typeId());
    }

    void badDatagramsAreDroppedAndListeningGoesOn_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QVariantList>("passed");    // the first argument of each message let through

        const QString malformed = "OSC: dropped malformed packet (size= %1 )";
        const QString exception = "OSC: exception processing packet, dropped";
        const QByteArray message = focusMessage(0.75f);
        QByteArray nested = message;
        for (int level = 0; level < 150; ++level)
            nested = bundleHeader + word(quint32(nested.size())) + nested;

        QTest::newRow("six bytes") << QByteArray("/a\0\0,i", 6) << malformed.arg(6) << QVariantList();
        QTest::newRow("full 64 KiB, misaligned") << QByteArray(65507, 'x') << malformed.arg(65507) << QVariantList();
        QTest::newRow("argument cut off") << message.left(message.size() - 4) << exception << QVariantList{};
        QTest::newRow("type tags claim more") << QByteArray("/x\0\0,ii\0\0\0\0\1", 12) << exception << QVariantList{};
        QTest::newRow("address not terminated") << QByteArray(64, 'a') << exception << QVariantList{};
        QTest::newRow("string runs to the end") << QByteArray("/x\0\0,s\0\0abcdefgh", 16) << exception << QVariantList{};
        QTest::newRow("unknown type tag") << QByteArray("/x\0\0,Q\0\0\0\0\0\1", 12) << exception << QVariantList{};
        QTest::newRow("blob size far past the end") << QByteArray("/x\0\0,bb\0", 8) + word(0x7effffff) + word(0)
                                                    << exception << QVariantList{};
        QTest::newRow("address padding not zero") << QByteArray("/c\0m,t\0\0,bbbbttttt\0\0\0", 20) + word(0x7e000000)
                                                  << exception << QVariantList{};
        QTest::newRow("bundle element too long") << bundleHeader + word(400) + message << exception << QVariantList{};
        QTest::newRow("malformed nested bundle") << bundleHeader + word(24) + bundleHeader + word(99) + word(0)
                                                 << exception << QVariantList{};
        QTest::newRow("blob skipped") << QByteArray("/blob\0\0\0,bi\0", 12) + word(3) + QByteArray("abc\0", 4) + word(9)
                                      << QString() << QVariantList{9};
        QTest::newRow("no type tags") << QByteArray("/x\0\0", 4) << QString() << QVariantList{QVariant()};
        QTest::newRow("bundle, in order") << oscPacket([](OutboundPacketStream& p) {
            p << BeginBundleImmediate << BeginMessage("/a") << 1 << EndMessage << BeginBundle(12345) << BeginMessage("/b")
              << 2 << EndMessage << EndBundle << BeginMessage("/c") << 3 << EndMessage << EndBundle;
        }) << QString() << QVariantList{1, 2, 3};
        QTest::newRow("deeply nested bundles") << nested << QString() << QVariantList{0.75};
        QTest::newRow("string past 4 KiB, whole") << stringMessage(8000) << QString() << QVariantList{QString(8000, 'z')};
        QTest::newRow("largest datagram") << stringMessage(65495) << QString() << QVariantList{QString(65495, 'z')};
    }

    void badDatagramsAreDroppedAndListeningGoesOn()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, warning);
        QFETCH(QVariantList, passed);
        LogCapture log("kovra.osc");
        Running r;
        QVERIFY(r.waitStarted());
        sendDatagram(r.port, datagram);
        sendDatagram(r.port, focusMessage(7.5f));
        QTRY_VERIFY(!r.messages.isEmpty() && r.args(r.messages.count() - 1) == QVariantList{7.5});
        QCOMPARE(r.messages.count(), passed.size() + 1);
        for (int i = 0; i < passed.size(); ++i)
            QCOMPARE(r.args(i).value(0), passed.at(i));
        QCOMPARE(log.taken(), warning.isEmpty() ? QStringList() : QStringList{warning});
    }

    void busyPortIsRetriedUntilFreed()
    {
        LogCapture log("kovra.osc");
        auto holder = std::make_unique<QUdpSocket>();
        QVERIFY(holder->bind(QHostAddress::AnyIPv4, 0, QUdpSocket::DontShareAddress));
        const int port = holder->localPort();
        OscListener listener;
        QSignalSpy errors(&listener, &OscListener::listenError);
        QSignalSpy started(&listener, &OscListener::started);
        listener.setPort(port);
        listener.start();

        // Five warnings, the fifth attempt an error, then quiet retries every five seconds.
        QVERIFY(errors.wait(12000));
        QCOMPARE(errors.first().first().toString(), QString("unable to bind udp socket"));
        QStringList expected;
        const int delays[] = {500, 1000, 2000, 3000, 5000};
        for (int attempt = 0; attempt < 5; ++attempt)
            expected << QString("OSC: port %1 busy, retrying in %2 ms (attempt %3 )").arg(port).arg(delays[attempt]).arg(attempt + 1);
        QTRY_COMPARE(log.taken(), expected);
        QVERIFY(started.isEmpty());
        holder.reset();
        QVERIFY(started.wait(8000));
        QCOMPARE(started.first().first().toInt(), port);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(log.taken(), expected);
    }

    void stopEndsTheWaitBeforeARetry()
    {
        LogCapture log("kovra.osc");
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0, QUdpSocket::DontShareAddress));
        OscListener listener;
        listener.setPort(holder.localPort());
        listener.start();
        QTRY_COMPARE_WITH_TIMEOUT(log.taken().size(), 3, 5000);    // now in the 2000 ms wait
        listener.stopListening();
        QVERIFY(listener.wait(OscListener::stopWaitMs / 2));
    }

    void stopRightAfterStartAndStartAgain()
    {
        Running r;
        // A stop may land before the bind, between bind and loop, or inside the loop.
        for (int round = 0; round < 30; ++round) {
            r.listener.start();
            if (round % 3 == 1)
                QThread::yieldCurrentThread();
            r.listener.stopListening();
            QVERIFY2(r.listener.wait(OscListener::stopWaitMs), qPrintable(QString::number(round)));
        }
        // Rounds that got as far as binding have posted their started signal; take them in first.
        QCoreApplication::sendPostedEvents(&r.listener, QEvent::MetaCall);
        r.started.clear();
        r.listener.start();
        QVERIFY(r.waitStarted());
        sendDatagram(r.port, focusMessage(0.25f));
        QTRY_VERIFY(!r.messages.isEmpty() && r.args(r.messages.count() - 1) == QVariantList{0.25});
    }
};

QTEST_GUILESS_MAIN(TestOscListener)
#include "tst_osclistener.moc"
