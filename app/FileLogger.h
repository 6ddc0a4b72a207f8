#pragma once

#include <QFile>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QTextStream>
#include <atomic>

// Daily log file with one size-bounded older generation. Every thread may write.
class FileLogger : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 rotationThreshold = 20 * 1024 * 1024;
    static constexpr int linesBetweenSizeChecks = 200;

    // The process-wide logger; created on first call and never destroyed.
    static FileLogger* instance();

    explicit FileLogger(QObject* parent = nullptr);

    QString logFilePath() const;
    bool open();
    void write(const QString& level, const QString& message);
    void close();

    bool isVerbose() const { return verbose.load(); }
    void setVerbose(bool on) { verbose.store(on); }

signals:
    void logged(const QString& level, const QString& message);

private:
    void rotateLocked(const QString& timestamp);

    QFile file;
    QTextStream stream;
    QMutex mutex;
    std::atomic<bool> verbose{false};
    QString path;
    int linesSinceSizeCheck = 0;
};
