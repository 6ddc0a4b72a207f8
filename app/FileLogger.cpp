#include "FileLogger.h"

#include <QDateTime>
#include <QDir>
#include <QMutexLocker>

namespace {
// The per-user log folder: the platform's own on macOS, the freedesktop state folder elsewhere.
QString logFolder()
{
#ifdef Q_OS_MACOS
    return QDir::homePath() + "/Library/Logs/KovraControl";
#else
    return QDir::homePath() + "/.local/state/KovraControl";
#endif
}
}

FileLogger* FileLogger::instance()
{
    static FileLogger* logger = new FileLogger;
    return logger;
}

FileLogger::FileLogger(QObject* parent)
    : QObject(parent)
{
}

QString FileLogger::logFilePath() const
{
    if (!path.isEmpty())
        return path;
    const QString folder = logFolder();
    QDir().mkpath(folder);
    return folder + "/kovra-" + QDate::currentDate().toString("yyyy-MM-dd") + ".log";
}

bool FileLogger::open()
{
    if (file.isOpen())
        return true;
    path = logFilePath();
    file.setFileName(path);
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return false;
    stream.setDevice(&file);
    write("INFO", "=== Kovra Control session started ===");
    return true;
}

void FileLogger::write(const QString& level, const QString& message)
{
    if (level == QLatin1String("DEBUG") && !verbose.load())
        return;

    QMutexLocker locker(&mutex);
    const QString timestamp = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss.zzz");
    if (file.isOpen()) {
        stream << timestamp << ' ' << level << ' ' << message << '\n';
        stream.flush();
        if (linesSinceSizeCheck++ >= linesBetweenSizeChecks - 1) {
            linesSinceSizeCheck = 0;
            if (file.size() > rotationThreshold)
                rotateLocked(timestamp);
        }
    }
    emit logged(level, message);
}

void FileLogger::rotateLocked(const QString& timestamp)
{
    const QString previous = path + ".1";
    stream.setDevice(nullptr);
    file.close();
    QFile::remove(previous);
    QFile::rename(path, previous);
    file.setFileName(path);
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return;
    stream.setDevice(&file);
    stream << timestamp << " INFO === log rotated (previous in " << previous << ") ===\n";
    stream.flush();
}

void FileLogger::close()
{
    if (!file.isOpen())
        return;
    write("INFO", "=== Kovra Control session ended ===");
    QMutexLocker locker(&mutex);
    stream.flush();
    stream.setDevice(nullptr);
    file.close();
}
