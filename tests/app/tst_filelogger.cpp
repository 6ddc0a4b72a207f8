#include "FileLogger.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <vector>

// The daily log file, in a home of each test's own.
class TestFileLogger : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;

    static QStringList readLines(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void init()
    {
        home = std::make_unique<QTemporaryDir>();
        qputenv("HOME", home->path().toLocal8Bit());
    }

    // Opening or closing twice writes one banner each; DEBUG lines (the level as the
    // message handler writes it) only when verbose, in the file and to the window alike.
    void bannersLevelsAndLineFormat()
    {
        FileLogger logger;
        QVERIFY(logger.open() && logger.open());
        QSignalSpy logged(&logger, &FileLogger::logged);
        logger.write("DEBUG", "quiet");
        logger.write("debug", "lower case");
        logger.write("WARN", "Cameras \"A\" and \"B\"");
        logger.setVerbose(true);
        logger.write("DEBUG", "verbose");
        logger.close();
        logger.close();
        QStringList messages;
        const QRegularExpression format(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*)$)");
        for (const QString& line : readLines(logger.logFilePath()))
            messages << format.match(line).captured(1);
        QCOMPARE(messages, (QStringList{"INFO === Kovra Control session started ===", "debug lower case",
                                        "WARN Cameras \"A\" and \"B\"", "DEBUG verbose",
                                        "INFO === Kovra Control session ended ==="}));
        QCOMPARE(logged.size(), messages.size() - 1);
    }

    // Past 20 MiB, checked every 200 lines, the file moves to ".1" and a new one starts.
    void rotatesPastTwentyMebibytes()
    {
        FileLogger logger;
        QVERIFY(logger.open());
        const QString path = logger.logFilePath();
        const QString previous = path + ".1";
        const QString padding(1000, 'x');
        int written = 0;
        while (!QFile::exists(previous) && written < 40000)
            logger.write("INFO", QString("line %1 %2").arg(written++).arg(padding));
        QVERIFY2(QFile::exists(previous), "no rotation after 40000 lines");
        const qint64 rotatedSize = QFileInfo(previous).size();
        QVERIFY(rotatedSize > FileLogger::rotationThreshold);
        QVERIFY(rotatedSize - FileLogger::rotationThreshold <= FileLogger::linesBetweenSizeChecks * 1100);
        QVERIFY(readLines(previous).last().endsWith(QString("line %1 %2").arg(written - 1).arg(padding)));
        QCOMPARE(readLines(path).size(), 1);
        QVERIFY(readLines(path).value(0).endsWith(" INFO === log rotated (previous in " + previous + ") ==="));
    }

    // Four threads at once: every line whole, and each thread's lines in their order.
    void threadsWriteWholeLines()
    {
        FileLogger logger;
        QVERIFY(logger.open());
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back(QThread::create([&logger, t] {
                for (int n = 0; n < 500; ++n)
                    logger.write("INFO", QString("thread %1 line %2 %3").arg(t).arg(n).arg(QString(200, QChar('w' + t))));
            }));
            threads.back()->start();
        }
        for (const auto& thread : threads)
            QVERIFY(thread->wait(30000));
        const QStringList lines = readLines(logger.logFilePath());
        QCOMPARE(lines.size(), 1 + 4 * 500);
        const QRegularExpression whole(R"(^\S+ \S+ INFO thread (\d) line (\d+) ([w-z]{200})$)");
        QList<int> nextLine(4, 0);
        for (int i = 1; i < lines.size(); ++i) {
            const auto match = whole.match(lines[i]);
            const int thread = match.captured(1).toInt();
            QVERIFY2(match.hasMatch() && match.captured(3).count(QChar('w' + thread)) == 200, qPrintable(lines[i].left(120)));
            QCOMPARE(match.captured(2).toInt(), nextLine[thread]++);
        }
    }
};

QTEST_GUILESS_MAIN(TestFileLogger)
#include "tst_filelogger.moc"
