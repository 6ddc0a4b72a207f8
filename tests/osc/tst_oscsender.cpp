#include "CameraState.h"
#include "OscSender.h"
#include "OscTestSupport.h"

#include <QNetworkDatagram>
#include <QProcess>
#include <QTest>

namespace {
// A desk's OSC input on loopback: the address of each datagram and where it came from.
struct Desk {
    QUdpSocket socket;
    QStringList addresses;
    QList<QHostAddress> senders;
    QList<quint16> senderPorts;
    Desk()
    {
        socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram datagram = socket.receiveDatagram();
                addresses << QString::fromUtf8(datagram.data().constData());
                senders << datagram.senderAddress();
                senderPorts << quint16(datagram.senderPort());
            }
        });
    }
    quint16 port() const { return socket.localPort(); }
};
}

class TestOscSender : public QObject {
    Q_OBJECT

private slots:
    void stateReachesAnOutsideReceiver()
    {
        const quint16 port = freeUdpPort();
        QProcess dump;
        QByteArray output;
        connect(&dump, &QProcess::readyReadStandardOutput, [&] { output += dump.readAllStandardOutput(); });
        dump.start("oscdump", {"-L", QString::number(port)});
        QVERIFY(dump.waitForStarted());
        OscSender sender;
        sender.setDestination("127.0.0.1", port);
        sender.setEnabled(true);

        // The receiver gives no sign of being ready; probe until it prints something.
        QTRY_VERIFY_WITH_TIMEOUT((sender.sendInt("/probe", -3), output.contains("/probe i -3")), 10000);

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
        state.audio[0].phantomPower = state.audio[0].lowCutFilter = true;
        state.audio[1].gain = 2;
        state.audio[1].input = QStringLiteral("Line");
        state.audio[1].padding = true;
        sender.sendState(3, state);
        sender.sendFloat("/a", 0.5f);
        sender.sendString("/c", QStringLiteral("Grün"));
        const QStringList expected = {
            "/camera/3/focus/value f 0.250000", "/camera/3/iris/value f 2.800000",
            "/camera/3/iris/normalized/value f 0.300000", "/camera/3/zoom/value f 0.750000",
            "/camera/3/iso/value i 1600", "/camera/3/wb/value i 3200", "/camera/3/tint/value i -12",
            "/camera/3/gain/value i 6", "/camera/3/shutter/angle/value i 17280", "/camera/3/nd/value f 1.500000",
            "/camera/3/record/status i 1",
            "/camera/3/audio/channel/0/gain/value f -3.500000", "/camera/3/audio/channel/0/input/value s \"Mic – Bühne\"",
            "/camera/3/audio/channel/0/phantomPower/value i 1", "/camera/3/audio/channel/0/padding/value i 0",
            "/camera/3/audio/channel/0/lowCutFilter/value i 1",
            "/camera/3/audio/channel/1/gain/value f 2.000000", "/camera/3/audio/channel/1/input/value s \"Line\"",
            "/camera/3/audio/channel/1/phantomPower/value i 0", "/camera/3/audio/channel/1/padding/value i 1",
            "/camera/3/audio/channel/1/lowCutFilter/value i 0",
            "/a f 0.500000", "/c s \"Grün\"",
        };
        const auto received = [&] {
            QStringList lines;
            for (const QByteArray& line : output.split('\n')) {
                if (!line.contains("/probe") && line.contains(" /"))
                    lines << QString::fromUtf8(line.mid(line.indexOf(' ') + 1));    // without the time stamp
            }
            return lines;
        };
        QTRY_COMPARE(received().size(), expected.size());
        QCOMPARE(received(), expected);
        dump.kill();
        dump.waitForFinished();
    }

    // Nothing leaves while off. The socket stays while nothing changes (one source port); a
    // failed one (an interface this machine lacks) stays silent until the next change; a
    // working one sends from the chosen interface.
    void socketFollowsTheSettings()
    {
        Desk first;
        Desk second;
        OscSender sender;
        sender.setDestination("127.0.0.1", first.port());
        sender.sendState(1, CameraState());
        sender.sendInt("/off", 1);
        sender.setEnabled(true);
        sender.sendInt("/one", 1);
        sender.setDestination("127.0.0.1", first.port());
        sender.sendInt("/two", 2);
        sender.setEnabled(false);
        sender.sendFloat("/off", 1.0f);
        sender.setLocalInterface("192.0.2.1");
        sender.setEnabled(true);
        sender.sendState(2, CameraState());
        sender.setLocalInterface(QString());
        sender.setDestination("127.0.0.1", second.port());
        sender.sendInt("/three", 3);
        QTRY_COMPARE(second.addresses, QStringList{"/three"});
        QCOMPARE(first.addresses, (QStringList{"/one", "/two"}));
        QCOMPARE(first.senderPorts.first(), first.senderPorts.last());

        sender.setLocalInterface("127.0.0.2");
        sender.sendInt("/bound", 4);
        QTRY_COMPARE(second.addresses, (QStringList{"/three", "/bound"}));
        QCOMPARE(second.senders.last(), QHostAddress("127.0.0.2"));
    }
};

QTEST_GUILESS_MAIN(TestOscSender)
#include "tst_oscsender.moc"
