#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class InstCheck;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The Log tab: the operator's coloured view of the program's log lines, with notes typed in,
// "Clear Log", verbose logging and the way to the log file. Every line it shows is also
// written to the log file.
class LogPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int maxEntries = 2000;

    struct Entry {
        QString time;     // "HH:mm:ss.zzz"
        QString level;    // "DEBUG", "INFO", "WARN", "ERROR", "USER", or empty for a separator
        QString message;
    };

    explicit LogPanel(QWidget* parent = nullptr);

    void logInfo(const QString& message);
    void logWarning(const QString& message);
    void logError(const QString& message);
    // Shown only while verbose logging is on; the log file applies its own filter.
    void logDebug(const QString& message);
    // Any of the four levels above, by name.
    void log(const QString& level, const QString& message);

    bool isVerbose() const { return m_verbose; }
    const QList<Entry>& entries() const { return m_entries; }
    bool isScrolledToBottom() const;
    QString html(const Entry& entry) const;

public slots:
    void setVerbose(bool on);
    void applyLook();
    void clear();
    // With the desktop's default application; what happens when the file is missing is the desktop's.
    void openLogFile();
    void showLogFolder();

signals:
    void verboseChanged(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupUi();
    void appendLog(const QString& level, const QString& message);
    void onUserInput();
    void scrollToBottom();

    QList<Entry> m_entries;
    QPlainTextEdit* m_view;
    QLineEdit* m_input;
    QPushButton* m_clearButton;
    InstCheck* m_verboseCheck;
    QLabel* m_openLogLabel;
    bool m_verbose = false;
    bool m_autoScroll = true;
};
