#include "OscListener.h"
#include "OscTestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <atomic>
#include <string>
#include <thread>

using namespace osc;

Q_DECLARE_METATYPE(QList<QMetaType::Type>)

namespace {
QByteArray focusMessage(float value)
{
    return oscPacket([value](OutboundPacketStream& p) { p << BeginMessage("/camera/1/focus") << value << EndMessage; });
}

QByteArray word(quint32 value)
{
    QByteArray bytes(4, 0);
    bytes[0] = char(value >> 24);
    bytes[1] = char(value >> 16);
    bytes[2] = char(value >> 8);
    bytes[3] = char(value);
    return bytes;
}

QByteArray bundleHeader()
{
    return QByteArray("#bundle\0", 8) + QByteArray(8, 0);
}

QByteArray nestedBundles(int depth)
{
    QByteArray packet = focusMessage(0.5f);
    for (int level = 0; level < depth; ++level)
        packet = bundleHeader() + word(quint32(packet.size())) + packet;
    return packet;
}
}

class TestOscListener : public QObject {
    Q_OBJECT

    // A listener that has bound its port and reports every message.
    struct Running {
        OscListener listener;
        QSignalSpy messages{&listener, &OscListener::messageReceived};
        QSignalSpy started{&listener, &OscListener::started};
        quint16 port = freeUdpPort();
        Running()
        {
            listener.setPort(port);
            listener.start();
        }
        bool waitStarted() { return started.count() > 0 || started.wait(5000); }
        ~Running()
        {
            listener.stopListening();
            listener.wait(OscListener::stopWaitMs);
        }
    };

private slots:
    void argumentTypes()
    {
        Running r;
        QVERIFY(r.waitStarted());
        QCOMPARE(r.started.first().first().toInt(), int(r.port));

        const char blob[] = {1, 2, 3};
        sendDatagram(r.port, oscPacket([&](OutboundPacketStream& p) {
            p << BeginMessage("/types") << int32(-7) << true << int64(9000000000LL) << 0.25f << Nil << 0.125
              << Blob(blob, 3) << "héllo ✓" << Infinitum << false << EndMessage;
        }));
        sendDatagram(r.port, oscPacket([](OutboundPacketStream& p) { p << BeginMessage("/flag") << true << EndMessage; }));
        QTRY_COMPARE(r.messages.count(), 2);

        QCOMPARE(r.messages.at(0).at(0).toString(), QString("/types"));
        const QVariantList args = r.messages.at(0).at(1).toList();
        const QVariantList expected = {-7, true, qlonglong(9000000000LL), 0.25, 0.125, QString("héllo ✓"), false};
        QCOMPARE(args, expected);
        for (int i = 0; i < args.size(); ++i)
            QCOMPARE(args.at(i).typeId(), expected.at(i).typeId());

        QCOMPARE(r.messages.at(1).at(0).toString(), QString("/flag"));
        QCOMPARE(r.messages.at(1).at(1).toList(), QVariantList{true});
    }

    void arrivalOrderAndBundles()
    {
        Running r;
        QVERIFY(r.waitStarted());
        for (int i = 0; i < 50; ++i)
            sendDatagram(r.port, oscPacket([i](OutboundPacketStream& p) { p << BeginMessage("/seq") << int32(i) << EndMessage; }));
        sendDatagram(r.port, oscPacket([](OutboundPacketStream& p) {
            p << BeginBundleImmediate << BeginMessage("/first") << 1.0f << EndMessage
              << BeginBundle(12345) << BeginMessage("/nested") << EndMessage << EndBundle
              << BeginMessage("/second") << "two" << EndMessage << EndBundle;
        }));
        QTRY_COMPARE(r.messages.count(), 53);
        for (int i = 0; i < 50; ++i)
            QCOMPARE(r.messages.at(i).at(1).toList().value(0).toInt(), i);
        QCOMPARE(r.messages.at(50).at(0).toString(), QString("/first"));
        QCOMPARE(r.messages.at(51).at(0).toString(), QString("/nested"));
        QCOMPARE(r.messages.at(52).at(0).toString(), QString("/second"));
        QCOMPARE(r.messages.at(52).at(1).toList(), QVariantList{QString("two")});
    }

    void manyDatagramsArriveInOrderOnce()
    {
        Running r;
        QVERIFY(r.waitStarted());
        constexpr int count = 10000;
        constexpr int window = 64;    // well inside the socket's buffer, so nothing is lost
        std::atomic<int> received{0};
        connect(&r.listener, &OscListener::messageReceived, this, [&received] { ++received; });
        std::thread desk([&] {
            QUdpSocket socket;
            for (int i = 0; i < count; ++i) {
                while (i - received.load() >= window)
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                socket.writeDatagram(oscPacket([i](OutboundPacketStream& p) {
                    p << BeginMessage("/seq") << int32(i) << float(i) + 0.5f << std::to_string(i).c_str() << EndMessage;
                }), QHostAddress::LocalHost, r.port);
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(received.load(), count, 30000);
        desk.join();
        QCOMPARE(r.messages.count(), count);
        for (int i = 0; i < count; ++i) {
            const QVariantList args = r.messages.at(i).at(1).toList();
            QCOMPARE(args.size(), 3);
            QCOMPARE(args.at(0).typeId(), int(QMetaType::Int));
            QCOMPARE(args.at(0).toInt(), i);
            QCOMPARE(args.at(1).typeId(), int(QMetaType::Double));
            QCOMPARE(args.at(1).toDouble(), i + 0.5);
            QCOMPARE(args.at(2).toString(), QString::number(i));
        }
    }

    void outsidePeer()
    {
        Running r;
        QVERIFY(r.waitStarted());
        const int exitCode = QProcess::execute("oscsend", {"127.0.0.1", QString::number(r.port), "/camera/2/cc/lift",
                                                          "ihfdsT", "3", "-5000000000", "0.5", "-0.25", "ünïcode", });
        QCOMPARE(exitCode, 0);
        QVERIFY(r.messages.wait(5000));
        QCOMPARE(r.messages.first().at(0).toString(), QString("/camera/2/cc/lift"));
        const QVariantList args = r.messages.first().at(1).toList();
        QCOMPARE(args, (QVariantList{3, qlonglong(-5000000000LL), 0.5, -0.25, QString("ünïcode"), true}));
        QCOMPARE(args.at(1).typeId(), int(QMetaType::LongLong));
        QCOMPARE(args.at(2).typeId(), int(QMetaType::Double));
    }

    void badDatagramsAreDroppedAndListeningGoesOn_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<int>("emitted");

        const QStringList exception = {"WARN OSC: exception processing packet, dropped"};
        const QByteArray message = focusMessage(0.75f);

        QTest::newRow("six bytes") << QByteArray("/a\0\0,i", 6)
                                   << QStringList{"WARN OSC: dropped malformed packet (size= 6 )"} << 0;
        QTest::newRow("one byte") << QByteArray(1, '/') << QStringList{"WARN OSC: dropped malformed packet (size= 1 )"} << 0;
        QTest::newRow("misaligned by one") << message + QByteArray(1, 0)
                                           << QStringList{QString("WARN OSC: dropped malformed packet (size= %1 )")
                                                              .arg(message.size() + 1)} << 0;
        QTest::newRow("full 64 KiB datagram") << QByteArray(65507, 'x')
                                              << QStringList{"WARN OSC: dropped malformed packet (size= 65507 )"} << 0;
        QTest::newRow("argument cut off") << message.left(message.size() - 4) << exception << 0;
        QTest::newRow("type tags claim more") << QByteArray("/x\0\0,ii\0\0\0\0\1", 12) << exception << 0;
        QTest::newRow("no type tags") << QByteArray("/x\0\0", 4) << QStringList() << 1;
        QTest::newRow("address not terminated") << QByteArray(64, 'a') << exception << 0;
        QTest::newRow("string runs to the end") << QByteArray("/x\0\0,s\0\0abcdefgh", 16) << exception << 0;
        QTest::newRow("unknown type tag") << QByteArray("/x\0\0,Q\0\0\0\0\0\1", 12) << exception << 0;
        QTest::newRow("blob size far past the end") << QByteArray("/x\0\0,bb\0", 8) + word(0x7effffff) + word(0)
                                                    << exception << 0;
        QTest::newRow("address padding not zero") << QByteArray("/c\0m,t\0\0,bbbbttttt\0\0\0", 20) + word(0x7e000000)
                                                  << exception << 0;
        QTest::newRow("blob without its size") << QByteArray("/x\0\0,fb\0", 8) + word(0) << exception << 0;
        QTest::newRow("blob") << QByteArray("/blob\0\0\0,bi\0", 12) + word(3) + QByteArray("abc\0", 4) + word(9)
                              << QStringList() << 1;
        QTest::newRow("bundle element too long") << bundleHeader() + word(400) + message << exception << 0;
        QTest::newRow("bundle element misaligned") << bundleHeader() + word(5) + message << exception << 0;
        QTest::newRow("bundle header only") << QByteArray("#bundle\0", 8) << exception << 0;
        QTest::newRow("malformed nested bundle") << bundleHeader() + word(24) + bundleHeader() + word(99) + word(0)
                                                 << exception << 0;
        QTest::newRow("deeply nested bundles") << nestedBundles(150) << QStringList() << 1;
        QTest::newRow("long string") << oscPacket([](OutboundPacketStream& p) {
            p << BeginMessage("/s") << std::string(4000, 'z').c_str() << EndMessage;
        }) << QStringList() << 1;
        QTest::newRow("string past 4 KiB") << oscPacket([](OutboundPacketStream& p) {
            p << BeginMessage("/s") << std::string(8000, 'z').c_str() << EndMessage;
        }) << QStringList() << 1;
        QTest::newRow("largest datagram") << QByteArray("/s\0\0,s\0\0", 8) + QByteArray(65495, 'z') + QByteArray(1, 0)
                                          << QStringList() << 1;
    }

    void badDatagramsAreDroppedAndListeningGoesOn()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QStringList, warnings);
        QFETCH(int, emitted);

        OscLogCapture log;
        Running r;
        QVERIFY(r.waitStarted());
        sendDatagram(r.port, datagram);
        sendDatagram(r.port, oscPacket([](OutboundPacketStream& p) { p << BeginMessage("/after") << 7.5f << EndMessage; }));
        QTRY_VERIFY(!r.messages.isEmpty() && r.messages.last().at(0).toString() == "/after");
        QCOMPARE(r.messages.last().at(1).toList(), QVariantList{7.5});
        QCOMPARE(r.messages.count() - 1, emitted);
        if (emitted == 1 && r.messages.first().at(0).toString() == "/blob")
            QCOMPARE(r.messages.first().at(1).toList(), QVariantList{9});
        if (emitted == 1 && r.messages.first().at(0).toString() == "/s")    // read whole, not cut
            QCOMPARE(r.messages.first().at(1).toList().value(0).toString().toUtf8(),
                     datagram.mid(8, datagram.indexOf('\0', 8) - 8));
        QCOMPARE(log.taken(), warnings);
        QVERIFY(r.listener.isRunning());
    }

    void busyPortIsRetriedUntilFreed()
    {
        OscLogCapture log;
        auto holder = std::make_unique<QUdpSocket>();
        QVERIFY(holder->bind(QHostAddress::AnyIPv4, 0, QUdpSocket::DontShareAddress));
        const int port = holder->localPort();

        OscListener listener;
        QSignalSpy errors(&listener, &OscListener::listenError);
        QSignalSpy started(&listener, &OscListener::started);
        QSignalSpy messages(&listener, &OscListener::messageReceived);
        listener.setPort(port);
        listener.start();

        QVERIFY(errors.wait(12000));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().toString(), QString("unable to bind udp socket"));
        QStringList expected;
        const int delays[] = {500, 1000, 2000, 3000, 5000};
        for (int attempt = 0; attempt < 5; ++attempt)
            expected << QString("WARN OSC: port %1 busy, retrying in %2 ms (attempt %3 )")
                            .arg(port).arg(delays[attempt]).arg(attempt + 1);
        QTRY_COMPARE(log.taken(), expected);
        QVERIFY(started.isEmpty());

        holder.reset();
        QVERIFY(started.wait(8000));
        QCOMPARE(started.first().first().toInt(), port);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(log.taken(), expected);

        sendDatagram(quint16(port), focusMessage(0.5f));
        QVERIFY(messages.wait(5000));
        listener.stopListening();
        QVERIFY(listener.wait(OscListener::stopWaitMs));
    }

    void stopEndsTheThreadWithinTheBound_data()
    {
        QTest::addColumn<bool>("portBusy");
        QTest::newRow("receiving") << false;
        QTest::newRow("waiting to retry") << true;
    }

    void stopEndsTheThreadWithinTheBound()
    {
        QFETCH(bool, portBusy);
        OscLogCapture log;
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0, QUdpSocket::DontShareAddress));
        const quint16 port = portBusy ? holder.localPort() : freeUdpPort();

        OscListener listener;
        QSignalSpy started(&listener, &OscListener::started);
        listener.setPort(port);
        listener.start();
        if (portBusy)
            QTRY_COMPARE_WITH_TIMEOUT(log.count(), 3, 5000);    // now in the 2000 ms wait
        else
            QVERIFY(started.wait(5000));
        listener.stopListening();
        QVERIFY(listener.wait(OscListener::stopWaitMs));
        QVERIFY(listener.isFinished());
    }

    void stopRightAfterStartAndStartAgain()
    {
        OscListener listener;
        QSignalSpy started(&listener, &OscListener::started);
        QSignalSpy messages(&listener, &OscListener::messageReceived);
        const quint16 port = freeUdpPort();
        listener.setPort(port);
        // A stop may land before the bind, between bind and loop, or inside the loop.
        for (int round = 0; round < 30; ++round) {
            listener.start();
            if (round % 3 == 1)
                QThread::yieldCurrentThread();
            listener.stopListening();
            QVERIFY2(listener.wait(OscListener::stopWaitMs), qPrintable(QString::number(round)));
        }
        // Rounds that got as far as binding have posted their started signal; take them in first.
        QCoreApplication::sendPostedEvents(&listener, QEvent::MetaCall);
        started.clear();
        listener.start();
        QVERIFY(started.wait(5000));
        sendDatagram(port, focusMessage(0.25f));
        QTRY_VERIFY(!messages.isEmpty() && messages.last().at(1).toList() == QVariantList{0.25});
        listener.stopListening();
        QVERIFY(listener.wait(OscListener::stopWaitMs));
    }

    void bindsToTheGivenAddress()
    {
        OscListener listener;
        QSignalSpy started(&listener, &OscListener::started);
        QSignalSpy messages(&listener, &OscListener::messageReceived);
        const quint16 port = freeUdpPort();
        listener.setPort(port);
        listener.setBindAddress("127.0.0.2");
        listener.start();
        QVERIFY(started.wait(5000));
        // Sent first: a listener on every address would report this one before the next.
        sendDatagram(port, oscPacket([](OutboundPacketStream& p) { p << BeginMessage("/other/address") << EndMessage; }));
        sendDatagram(port, focusMessage(1.0f), QHostAddress("127.0.0.2"));
        QVERIFY(messages.wait(5000));
        QCOMPARE(messages.first().at(0).toString(), QString("/camera/1/focus"));
        listener.stopListening();
        QVERIFY(listener.wait(OscListener::stopWaitMs));
        QCOMPARE(messages.count(), 1);
    }

    void destructionStopsTheThread()
    {
        auto listener = std::make_unique<OscListener>();
        QSignalSpy started(listener.get(), &OscListener::started);
        listener->setPort(freeUdpPort());
        listener->start();
        QVERIFY(started.wait(5000));
        QThread* thread = listener.get();
        QSignalSpy finished(thread, &QThread::finished);
        listener.reset();
        QCOMPARE(finished.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestOscListener)
#include "tst_osclistener.moc"
