#include "CoreTestSupport.h"
#include "InstChecks.h"
#include "InstCombo.h"
#include "OscListener.h"
#include "OscMonitor.h"
#include "OscSender.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTextBlock>
#include <QUdpSocket>

namespace {

// A real listener on loopback and a real sender, the monitor on top, shown.
struct Rig {
    OscListener listener;
    OscSender sender;
    OscMonitor monitor;
    QSignalSpy started;

    explicit Rig(int port)
        : monitor(&listener, &sender, port)
        , started(&listener, &OscListener::started)
    {
        listener.setPort(port);
        listener.setBindAddress("127.0.0.1");
        listener.start();
        monitor.resize(1100, 600);
        monitor.show();
    }
    ~Rig()
    {
        listener.stopListening();
        listener.wait(OscListener::stopWaitMs);
    }
    template <typename T>
    T* find(const char* name) { return monitor.findChild<T*>(name); }
    QPlainTextEdit* log() { return find<QPlainTextEdit>("oscLog"); }
};

void typeInto(QWidget* field, const QString& text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

}

class TestOscMonitor : public QObject {
    Q_OBJECT

private slots:
    void listenSettings_data()
    {
        QTest::addColumn<bool>("newPort");
        QTest::newRow("another port") << true;
        QTest::newRow("same port and interface") << false;
    }

    // Only another port or interface restarts the listener, which then really moved.
    void listenSettings()
    {
        QFETCH(bool, newPort);
        const int port = freeUdpPort();
        Rig rig(port);
        QVERIFY(rig.started.wait());
        rig.monitor.setOscSettings(port, "127.0.0.1", "127.0.0.1", 58001, false, "127.0.0.1");
        QCOMPARE(rig.find<InstCombo>("inboundInterface")->currentText(), QString("Loopback only (127.0.0.1)"));
        QSignalSpy changed(&rig.monitor, &OscMonitor::listenPortChanged);
        rig.started.clear();

        const int wanted = newPort ? freeUdpPort() : port;
        typeInto(rig.find<QSpinBox>("inboundPort"), QString::number(wanted));
        if (newPort)
            QVERIFY(rig.started.wait());
        QVERIFY(!rig.started.wait(200));
        QCOMPARE(rig.started.size(), int(newPort));
        QCOMPARE(changed.size(), int(newPort));
        QCOMPARE(rig.listener.port(), wanted);
        if (!newPort)
            return;
        QCOMPARE(changed.first().first().toInt(), wanted);
        QSignalSpy received(&rig.listener, &OscListener::messageReceived);
        QUdpSocket desk;
        desk.writeDatagram(QByteArray("/ping\0\0\0,\0\0\0", 12), QHostAddress::LocalHost, quint16(wanted));
        QVERIFY(received.wait());
        QCOMPARE(received.first().first().toString(), QString("/ping"));
    }

    void savedInterfaceThatIsGone()
    {
        const int port = freeUdpPort();
        Rig rig(port);
        QVERIFY(rig.started.wait());
        rig.started.clear();
        rig.monitor.setOscSettings(port, "10.254.254.254", "127.0.0.1", 58001, false, "10.254.254.253");
        QCOMPARE(rig.find<InstCombo>("inboundInterface")->currentIndex(), 0);
        QCOMPARE(rig.find<InstCombo>("outboundInterface")->currentIndex(), 0);
        QVERIFY(!rig.started.wait(200));
        QCOMPARE(rig.listener.bindAddress(), QString("127.0.0.1"));
    }

    void outboundFieldsReachTheSender()
    {
        QUdpSocket desk;
        QVERIFY(desk.bind(QHostAddress::LocalHost, 0));
        Rig rig(freeUdpPort());
        rig.monitor.setOscSettings(rig.listener.port(), "127.0.0.1", "192.0.2.1", 58001, false, "127.0.0.1");
        typeInto(rig.find<QLineEdit>("destinationAddress"), "  127.0.0.1 ");
        typeInto(rig.find<QSpinBox>("outboundPort"), QString::number(desk.localPort()));
        QVERIFY(!rig.sender.isEnabled());
        auto* enable = rig.find<InstToggle>("feedbackEnable");
        QTest::mouseClick(enable, Qt::LeftButton, {}, QPoint(10, enable->height() / 2));
        QVERIFY(rig.sender.isEnabled());
        QCOMPARE(rig.sender.destinationIp(), QString("127.0.0.1"));
        QCOMPARE(rig.sender.localInterface(), QString("127.0.0.1"));

        rig.sender.sendFloat("/camera/1/focus/value", 0.25f);
        QTRY_VERIFY(desk.hasPendingDatagrams());
        QVERIFY(desk.receiveDatagram().data().startsWith("/camera/1/focus/value"));
    }

    void messageLines()
    {
        Rig rig(freeUdpPort());
        rig.monitor.logMessage("/camera/1/record/start", {});
        rig.monitor.logMessage("/camera/2/cc/lift", {0.25, 0.5, double(0.1f), 1});
        QTRY_COMPARE(rig.log()->document()->blockCount(), 2);
        const QStringList lines = rig.log()->toPlainText().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(QRegularExpression(R"(^\[\d\d:\d\d:\d\d\.\d{3}\]  /camera/1/record/start  $)").match(lines[0]).hasMatch());
        QVERIFY2(lines[1].endsWith("]  /camera/2/cc/lift  0.25  0.5  0.1  1"), qPrintable(lines[1]));

        QTest::mouseClick(rig.find<QPushButton>("pauseButton"), Qt::LeftButton);
        QCOMPARE(rig.find<QPushButton>("pauseButton")->text(), QString("Resume"));
        rig.monitor.logMessage("/while/paused", {});
        QTest::mouseClick(rig.find<QPushButton>("pauseButton"), Qt::LeftButton);
        rig.monitor.hide();
        rig.monitor.logMessage("/while/hidden", {});
        rig.monitor.show();
        rig.monitor.logMessage("/shown/again", {});
        QTRY_COMPARE(rig.log()->document()->blockCount(), 3);
        QVERIFY(!rig.log()->toPlainText().contains("/while/"));

        QTest::mouseClick(rig.find<QPushButton>("clearButton"), Qt::LeftButton);
        QVERIFY(rig.log()->toPlainText().isEmpty());

        // A lower limit trims at once.
        for (int n = 0; n < 600; ++n)
            rig.monitor.logMessage(QStringLiteral("/line/%1").arg(n), {});
        QTRY_COMPARE(rig.log()->document()->blockCount(), 500);
        rig.find<QSpinBox>("maxLines")->setValue(100);
        QCOMPARE(rig.log()->document()->blockCount(), 100);
        QVERIFY(rig.log()->document()->firstBlock().text().endsWith("/line/500  "));
    }
};

QTEST_MAIN(TestOscMonitor)
#include "tst_oscmonitor.moc"
