#include "FileLogger.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

class TestFileLogger : public QObject {
    Q_OBJECT

private:
    QTemporaryDir* home = nullptr;

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
        home = new QTemporaryDir;
        QVERIFY(home->isValid());
        qputenv("HOME", home->path().toLocal8Bit());
    }

    void cleanup()
    {
        delete home;
        home = nullptr;
    }

    void pathIsTheDailyFileBelowHome()
    {
        FileLogger logger;
        const QString expected = home->path() + "/.local/state/KovraControl/kovra-"
            + QDate::currentDate().toString("yyyy-MM-dd") + ".log";
        QCOMPARE(logger.logFilePath(), expected);
        QVERIFY(QDir(home->path() + "/.local/state/KovraControl").exists());
    }

    void bannersAndLineFormat()
    {
        FileLogger logger;
        QVERIFY(logger.open());
        QVERIFY(logger.open());
        logger.write("WARN", "Cameras \"A\" and \"B\"");
        logger.close();
        logger.close();

        const QStringList lines = readLines(logger.logFilePath());
        QCOMPARE(lines.size(), 3);
        const QRegularExpression format(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (\w+) (.*)$)");
        const QStringList expected = {"INFO === Kovra Control session started ===", "WARN Cameras \"A\" and \"B\"",
                                      "INFO === Kovra Control session ended ==="};
        for (int i = 0; i < lines.size(); ++i) {
            const auto match = format.match(lines[i]);
            QVERIFY2(match.hasMatch(), qPrintable(lines[i]));
            QCOMPARE(match.captured(1) + ' ' + match.captured(2), expected[i]);
        }
    }

    void levelFilter_data()
    {
        QTest::addColumn<bool>("verbose");
        QTest::addColumn<QString>("level");
        QTest::addColumn<bool>("written");
        QTest::newRow("DEBUG quiet") << false << "DEBUG" << false;
        QTest::newRow("DEBUG verbose") << true << "DEBUG" << true;
        QTest::newRow("lower-case debug quiet") << false << "debug" << true;
        QTest::newRow("INFO quiet") << false << "INFO" << true;
        QTest::newRow("WARN quiet") << false << "WARN" << true;
        QTest::newRow("ERROR quiet") << false << "ERROR" << true;
    }

    void levelFilter()
    {
        QFETCH(bool, verbose);
        QFETCH(QString, level);
        QFETCH(bool, written);

        FileLogger logger;
        logger.setVerbose(verbose);
        QVERIFY(logger.open());
        QSignalSpy spy(&logger, &FileLogger::logged);
        logger.write(level, "probe line");

        QCOMPARE(spy.count(), written ? 1 : 0);
        const QStringList lines = readLines(logger.logFilePath());
        QCOMPARE(lines.size(), written ? 2 : 1);
        if (written)
            QVERIFY(lines.last().endsWith(' ' + level + " probe line"));
    }

    void signalsWithoutAFile()
    {
        FileLogger logger;
        QSignalSpy spy(&logger, &FileLogger::logged);
        logger.write("INFO", "nobody listens");
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QString("INFO"));
        QCOMPARE(spy.at(0).at(1).toString(), QString("nobody listens"));
        QVERIFY(!QFile::exists(logger.logFilePath()));
    }

    void closeAfterFailedOpenDoesNothing()
    {
        FileLogger logger;
        // A folder where the file should be makes the open fail, even for root.
        QVERIFY(QDir().mkpath(logger.logFilePath()));
        QVERIFY(!logger.open());
        QSignalSpy spy(&logger, &FileLogger::logged);
        logger.close();
        QCOMPARE(spy.count(), 0);
        QVERIFY(QFileInfo(logger.logFilePath()).isDir());
    }

    void rotatesPastTwentyMebibytes()
    {
        FileLogger logger;
        QVERIFY(logger.open());
        const QString path = logger.logFilePath();
        const QString previous = path + ".1";
        const QString padding(1000, 'x');

        int written = 0;
        qint64 sizeBeforeLastLine = 0;
        while (!QFile::exists(previous) && written < 40000) {
            sizeBeforeLastLine = QFileInfo(path).size();
            logger.write("INFO", QString("line %1 %2").arg(written).arg(padding));
            ++written;
        }
        QVERIFY2(QFile::exists(previous), "no rotation after 40000 lines");

        const qint64 rotatedSize = QFileInfo(previous).size();
        QVERIFY(rotatedSize > FileLogger::rotationThreshold);
        // The size is looked at only every 200 lines, so the file may overshoot by up to 199 lines.
        const qint64 lineSize = rotatedSize - sizeBeforeLastLine;
        QVERIFY(rotatedSize - FileLogger::rotationThreshold <= FileLogger::linesBetweenSizeChecks * lineSize);
        // Start banner plus the lines written: rotation happens on a multiple of 200.
        QCOMPARE((written + 1) % FileLogger::linesBetweenSizeChecks, 0);

        const QStringList old = readLines(previous);
        QVERIFY(old.last().endsWith(QString("line %1 %2").arg(written - 1).arg(padding)));

        const QStringList fresh = readLines(path);
        QCOMPARE(fresh.size(), 1);
        QVERIFY(fresh.first().endsWith(" INFO === log rotated (previous in " + previous + ") ==="));

        logger.write("INFO", "after rotation");
        QCOMPARE(readLines(path).size(), 2);
    }

    void threadsWriteWholeLines()
    {
        FileLogger logger;
        QVERIFY(logger.open());
        constexpr int threadCount = 4;
        constexpr int linesPerThread = 500;
        QList<QThread*> threads;
        for (int t = 0; t < threadCount; ++t) {
            threads.append(QThread::create([&logger, t] {
                for (int n = 0; n < linesPerThread; ++n)
                    logger.write("INFO", QString("thread %1 line %2 %3").arg(t).arg(n).arg(QString(200, QChar('w' + t))));
            }));
        }
        for (QThread* thread : threads)
            thread->start();
        for (QThread* thread : threads) {
            QVERIFY(thread->wait(30000));
            delete thread;
        }

        const QStringList lines = readLines(logger.logFilePath());
        QCOMPARE(lines.size(), 1 + threadCount * linesPerThread);
        const QRegularExpression whole(R"(^\S+ \S+ INFO thread (\d) line (\d+) ([w-z])+$)");
        QList<int> nextLine(threadCount, 0);
        for (int i = 1; i < lines.size(); ++i) {
            const auto match = whole.match(lines[i]);
            QVERIFY2(match.hasMatch(), qPrintable(lines[i].left(120)));
            const int t = match.captured(1).toInt();
            QCOMPARE(lines[i].count(QChar('w' + t)), 200);
            QCOMPARE(match.captured(2).toInt(), nextLine[t]++);
        }
    }
};

QTEST_GUILESS_MAIN(TestFileLogger)
#include "tst_filelogger.moc"
