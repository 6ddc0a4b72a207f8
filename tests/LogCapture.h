#pragma once

#include <QByteArray>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

// The log lines of one library's category, from any thread, for as long as it lives; other
// categories go on to the handler that was there before. One capture at a time.
class LogCapture {
public:
    explicit LogCapture(const char* category)
    {
        QMutexLocker guard(&lock);
        s_category = category;
        s_lines.clear();
        s_levelled.clear();
        s_warnings.clear();
        s_debugLines = 0;
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (QByteArray(context.category) != s_category)
                return previous(type, context, text);
            QMutexLocker guard(&lock);
            s_lines << text;
            s_levelled << QString(type == QtDebugMsg ? "DEBUG " : type == QtInfoMsg ? "INFO " : "WARN ") + text;
            if (type == QtDebugMsg)
                ++s_debugLines;
            else
                s_warnings << text;
        });
    }
    ~LogCapture() { qInstallMessageHandler(previous); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Every line, debug ones included.
    QStringList taken() const { QMutexLocker guard(&lock); return s_lines; }
    // Every line, led by its level: "DEBUG ", "INFO " or "WARN " (critical ones too).
    QStringList levelled() const { QMutexLocker guard(&lock); return s_levelled; }
    // Every line above debug.
    QStringList warnings() const { QMutexLocker guard(&lock); return s_warnings; }
    int debugLines() const { QMutexLocker guard(&lock); return s_debugLines; }

private:
    static inline QByteArray s_category;
    static inline QStringList s_lines;
    static inline QStringList s_levelled;
    static inline QStringList s_warnings;
    static inline int s_debugLines = 0;
    static inline QMutex lock;
    static inline QtMessageHandler previous = nullptr;
};
