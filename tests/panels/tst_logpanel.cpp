#include "FileLogger.h"
#include "Inst.h"
#include "LogPanel.h"

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

// The Log tab on real widgets, with the log file in a home of the test's own.
class TestLogPanel : public QObject {
    Q_OBJECT

    QTemporaryDir home;

    static QStringList fileLines()
    {
        QFile file(FileLogger::instance()->logFilePath());
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    static QPlainTextEdit* view(LogPanel& panel) { return panel.findChild<QPlainTextEdit*>("logView"); }

private slots:
    void initTestCase()
    {
        qputenv("HOME", home.path().toUtf8());
        QVERIFY(FileLogger::instance()->logFilePath().startsWith(home.path()));
        QVERIFY(FileLogger::instance()->open());
    }

    // The newest 2000 lines, markup shown as typed; every line also goes to the file.
    void keepsTheNewest2000Lines()
    {
        LogPanel panel;
        for (int n = 1; n <= 2000; ++n)
            panel.logInfo(QStringLiteral("line %1").arg(n));
        panel.logError("<b>bold</b> & <i>more</i>");
        QCOMPARE(panel.entries().size(), 2000);
        QCOMPARE(panel.entries().first().message, QString("line 2"));
        QCOMPARE(view(panel)->document()->blockCount(), 2000);
        QVERIFY(view(panel)->document()->firstBlock().text().endsWith(" INFO line 2"));
        QVERIFY(view(panel)->document()->lastBlock().text().endsWith(" ERROR <b>bold</b> & <i>more</i>"));
        QVERIFY(fileLines().last().endsWith(" ERROR <b>bold</b> & <i>more</i>"));
        QVERIFY(panel.html(panel.entries().last()).contains(QString("color:%1").arg(Inst::tokens().red.name())));
    }

    void notesAndSeparators()
    {
        LogPanel panel;
        auto* input = panel.findChild<QLineEdit*>("noteInput");
        input->setText("   ");
        QTest::keyClick(input, Qt::Key_Return);
        QCOMPARE(panel.entries().last().level, QString());
        QVERIFY(view(panel)->document()->lastBlock().text().endsWith(" —"));
        QVERIFY(fileLines().last().endsWith(" ---- "));

        QTest::keyClicks(input, "  camera 2 reframed  ");
        QTest::keyClick(input, Qt::Key_Return);
        QCOMPARE(input->text(), QString());
        QCOMPARE(panel.entries().last().level, QString("USER"));
        QCOMPARE(panel.entries().last().message, QString("camera 2 reframed"));
        QVERIFY(fileLines().last().endsWith(" USER camera 2 reframed"));
    }

    void followsNewLinesOnlyAtTheBottom()
    {
        LogPanel panel;
        panel.resize(600, 300);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QScrollBar* bar = view(panel)->verticalScrollBar();
        for (int n = 0; n < 200; ++n)
            panel.logInfo(QStringLiteral("line %1").arg(n));
        QCOMPARE(bar->value(), bar->maximum());

        bar->setValue(bar->maximum() - 5);
        QVERIFY(!panel.isScrolledToBottom());
        const int reading = bar->value();
        panel.logInfo("while reading");
        QCOMPARE(bar->value(), reading);

        bar->setValue(bar->maximum() - 4);
        panel.logInfo("back near the bottom");
        QCOMPARE(bar->value(), bar->maximum());

        // The wheel moves by half its angle: one notch down (-120) is 60 steps.
        bar->setValue(100);
        const QPointF centre = view(panel)->viewport()->rect().center();
        QWheelEvent wheel(centre, view(panel)->viewport()->mapToGlobal(centre), {}, {0, -120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view(panel)->viewport(), &wheel);
        QCOMPARE(bar->value(), 160);

        // A new look keeps the lines and the place.
        Inst::setDark(!Inst::tokens().dark);
        panel.applyLook();
        QCOMPARE(view(panel)->document()->blockCount(), 202);
        QCOMPARE(bar->value(), 160);
        QVERIFY(view(panel)->document()->toHtml().contains(Inst::tokens().accent.name(), Qt::CaseInsensitive));
    }

    void verboseSwitch()
    {
        FileLogger::instance()->setVerbose(false);
        LogPanel panel;
        QSignalSpy changed(&panel, &LogPanel::verboseChanged);
        panel.logDebug("hidden while quiet");
        QVERIFY(panel.entries().isEmpty());

        panel.setVerbose(true);
        panel.setVerbose(true);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(panel.entries().size(), 2);
        QCOMPARE(panel.entries().at(0).message, QString("Verbose logging enabled — all API traffic will be logged"));
        QCOMPARE(panel.entries().at(1).message, QString("Log file: %1").arg(FileLogger::instance()->logFilePath()));
        QVERIFY(FileLogger::instance()->isVerbose());
        panel.logDebug("shown while verbose");
        QCOMPARE(panel.entries().last().level, QString("DEBUG"));
        QVERIFY(fileLines().last().endsWith(" DEBUG shown while verbose"));

        // A panel made while the program runs verbose shows it, so switching it off works.
        LogPanel second;
        QVERIFY(second.isVerbose());
        second.setVerbose(false);
        QVERIFY(!FileLogger::instance()->isVerbose());
        QCOMPARE(second.entries().last().message, QString("Verbose logging disabled"));
    }
};

QTEST_MAIN(TestLogPanel)
#include "tst_logpanel.moc"
