#include "CameraState.h"
#include "OscSender.h"
#include "OscTestSupport.h"

#include <oscpack/osc/OscReceivedElements.h>

#include <QNetworkDatagram>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {
struct Received {
    QString address;
    QString types;
    QVariantList args;
    quint16 senderPort = 0;
    QHostAddress senderAddress;
};

// Reads every datagram waiting on the socket, decoded with the library's reader.
QList<Received> drain(QUdpSocket& socket)
{
    QList<Received> messages;
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket.receiveDatagram();
        const QByteArray data = datagram.data();
        osc::ReceivedMessage message(osc::ReceivedPacket(data.constData(), osc::osc_bundle_element_size_t(data.size())));
        Received received{QString::fromUtf8(message.AddressPattern()), QString::fromLatin1(message.TypeTags()), {},
                          quint16(datagram.senderPort()), datagram.senderAddress()};
        for (auto it = message.ArgumentsBegin(); it != message.ArgumentsEnd(); ++it) {
            if (it->IsFloat())
                received.args << double(it->AsFloat());
            else if (it->IsInt32())
                received.args << int(it->AsInt32());
            else if (it->IsString())
                received.args << QString::fromUtf8(it->AsString());
        }
        messages << received;
    }
    return messages;
}

// Collects datagrams as they arrive.
struct Desk {
    QUdpSocket socket;
    QList<Received> messages;
    Desk()
    {
        socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] { messages << drain(socket); });
    }
    quint16 port() const { return socket.localPort(); }
};

CameraState sampleState()
{
    CameraState state;
    state.focus = 0.25;
    state.irisApertureStop = 2.8;
    state.irisNormalised = 0.3;
    state.zoomNormalised = 0.75;
    state.iso = 1600;
    state.whiteBalance = 3200;
    state.whiteBalanceTint = -12;
    state.gain = 6;
    state.shutterAngle = 17280;
    state.ndFilterStop = 1.5;
    state.recording = true;
    state.audio[0].gain = -3.5;
    state.audio[0].input = QStringLiteral("Mic – Bühne");
    state.audio[0].phantomPower = true;
    state.audio[0].lowCutFilter = true;
    state.audio[1].gain = 2;
    state.audio[1].input = QStringLiteral("Line");
    state.audio[1].padding = true;
    return state;
}
}

class TestOscSender : public QObject {
    Q_OBJECT

private slots:
    void defaults()
    {
        OscSender sender;
        QCOMPARE(sender.destinationIp(), QString("127.0.0.1"));
        QCOMPARE(sender.destinationPort(), 58001);
        QCOMPARE(sender.localInterface(), QString());
        QVERIFY(!sender.isEnabled());
    }

    void stateReachesAnOutsideReceiver()
    {
        const quint16 port = freeUdpPort();
        QProcess dump;
        dump.start("oscdump", {"-L", QString::number(port)});
        QVERIFY(dump.waitForStarted());

        OscSender sender;
        sender.setDestination("127.0.0.1", port);
        sender.setEnabled(true);

        // The receiver gives no sign of being ready; probe until it prints something.
        QByteArray output;
        connect(&dump, &QProcess::readyReadStandardOutput, [&] { output += dump.readAllStandardOutput(); });
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] { sender.sendInt("/probe", 0); });
        probe.start(50);
        QTRY_VERIFY_WITH_TIMEOUT(output.contains("/probe"), 10000);
        probe.stop();

        sender.sendState(3, sampleState());
        const QStringList expected = {
            "/camera/3/focus/value f 0.250000",
            "/camera/3/iris/value f 2.800000",
            "/camera/3/iris/normalized/value f 0.300000",
            "/camera/3/zoom/value f 0.750000",
            "/camera/3/iso/value i 1600",
            "/camera/3/wb/value i 3200",
            "/camera/3/tint/value i -12",
            "/camera/3/gain/value i 6",
            "/camera/3/shutter/angle/value i 17280",
            "/camera/3/nd/value f 1.500000",
            "/camera/3/record/status i 1",
            "/camera/3/audio/channel/0/gain/value f -3.500000",
            "/camera/3/audio/channel/0/input/value s \"Mic – Bühne\"",
            "/camera/3/audio/channel/0/phantomPower/value i 1",
            "/camera/3/audio/channel/0/padding/value i 0",
            "/camera/3/audio/channel/0/lowCutFilter/value i 1",
            "/camera/3/audio/channel/1/gain/value f 2.000000",
            "/camera/3/audio/channel/1/input/value s \"Line\"",
            "/camera/3/audio/channel/1/phantomPower/value i 0",
            "/camera/3/audio/channel/1/padding/value i 1",
            "/camera/3/audio/channel/1/lowCutFilter/value i 0",
        };
        const auto stateLines = [&] {
            QStringList lines;
            for (const QByteArray& line : output.split('\n')) {
                if (line.contains("/camera/"))
                    lines << QString::fromUtf8(line.mid(line.indexOf(' ') + 1));    // without the time stamp
            }
            return lines;
        };
        QTRY_COMPARE(stateLines().size(), expected.size());
        QCOMPARE(stateLines(), expected);
        dump.kill();
        dump.waitForFinished();
    }

    void prefixAndFlagsFollowTheCamera()
    {
        Desk desk;
        OscSender sender;
        sender.setDestination("127.0.0.1", desk.port());
        sender.setEnabled(true);
        CameraState stopped;
        sender.sendState(0, stopped);
        QTRY_COMPARE(desk.messages.size(), 21);
        QCOMPARE(desk.messages.first().address, QString("/camera/0/focus/value"));
        QCOMPARE(desk.messages.at(10).address, QString("/camera/0/record/status"));
        QCOMPARE(desk.messages.at(10).args, QVariantList{0});
        QCOMPARE(desk.messages.last().address, QString("/camera/0/audio/channel/1/lowCutFilter/value"));
        QString types;
        for (const Received& message : desk.messages)
            types += message.types;
        QCOMPARE(types, QString("ffffiiiiififsiiifsiii"));
    }

    void singleValues()
    {
        Desk desk;
        OscSender sender;
        sender.setDestination("127.0.0.1", desk.port());
        sender.setEnabled(true);
        sender.sendFloat("/a", 0.5f);
        sender.sendInt("/b", -3);
        sender.sendString("/c", QStringLiteral("Grün"));
        QTRY_COMPARE(desk.messages.size(), 3);
        QCOMPARE(desk.messages.at(0).args, QVariantList{0.5});
        QCOMPARE(desk.messages.at(1).args, QVariantList{-3});
        QCOMPARE(desk.messages.at(2).args, QVariantList{QString("Grün")});
        QCOMPARE(desk.messages.at(2).types, QString("s"));
    }

    void nothingLeavesWhileDisabled()
    {
        Desk desk;
        OscSender sender;
        sender.setDestination("127.0.0.1", desk.port());
        sender.sendState(1, CameraState());
        sender.sendInt("/before", 1);
        sender.setEnabled(true);
        sender.setEnabled(false);
        sender.sendFloat("/off", 1.0f);
        sender.setEnabled(true);
        sender.sendInt("/marker", 2);
        QTRY_COMPARE(desk.messages.size(), 1);
        QCOMPARE(desk.messages.first().address, QString("/marker"));
    }

    void socketIsRebuiltOnlyOnChange()
    {
        Desk first;
        Desk second;
        OscSender sender;
        sender.setEnabled(true);
        sender.setDestination("127.0.0.1", first.port());
        sender.sendInt("/one", 1);
        QTRY_COMPARE(first.messages.size(), 1);
        const quint16 sentFrom = first.messages.first().senderPort;

        sender.setDestination("127.0.0.1", first.port());
        sender.sendInt("/two", 2);
        QTRY_COMPARE(first.messages.size(), 2);
        QCOMPARE(first.messages.at(1).senderPort, sentFrom);

        sender.setDestination("127.0.0.1", second.port());
        sender.sendInt("/three", 3);
        QTRY_COMPARE(second.messages.size(), 1);
        QCOMPARE(sender.destinationPort(), int(second.port()));
        QCOMPARE(first.messages.size(), 2);
    }

    void sendsFromTheChosenInterface()
    {
        Desk desk;
        OscSender sender;
        sender.setDestination("127.0.0.1", desk.port());
        sender.setLocalInterface("127.0.0.2");
        sender.setEnabled(true);
        sender.sendInt("/bound", 1);
        QTRY_COMPARE(desk.messages.size(), 1);
        QCOMPARE(desk.messages.first().senderAddress, QHostAddress("127.0.0.2"));
        QCOMPARE(sender.localInterface(), QString("127.0.0.2"));
    }

    void failedBuildStaysSilentUntilTheNextChange()
    {
        Desk desk;
        OscSender sender;
        sender.setDestination("127.0.0.1", desk.port());
        sender.setLocalInterface("192.0.2.1");    // not an address of this machine: the bind fails
        sender.setEnabled(true);
        QVERIFY(sender.isEnabled());
        sender.sendState(2, CameraState());
        sender.sendInt("/lost", 1);
        sender.setLocalInterface(QString());
        sender.sendInt("/found", 2);
        QTRY_COMPARE(desk.messages.size(), 1);
        QCOMPARE(desk.messages.first().address, QString("/found"));
    }
};

QTEST_GUILESS_MAIN(TestOscSender)
#include "tst_oscsender.moc"
