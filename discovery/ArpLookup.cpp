#include "ArpLookup.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <optional>

namespace {
// A blocking lookup holds the calling (GUI) thread for at most this long, start to end.
constexpr int lookupTimeoutMs = 2000;
// Of that, what reaping a killed tool may take.
constexpr int killReserveMs = 100;
constexpr int tableReadTimeoutMs = 5000;

// The tool's output; empty when it did not finish within the bound.
QString runArp(const QString& program, const QStringList& arguments)
{
    const QDeadlineTimer deadline(lookupTimeoutMs);
    QProcess process;
    process.start(program, arguments);
    if (process.waitForStarted(int(qMax<qint64>(0, deadline.remainingTime() - killReserveMs)))
        && process.waitForFinished(int(qMax<qint64>(0, deadline.remainingTime() - killReserveMs))))
        return QString::fromUtf8(process.readAllStandardOutput());
    process.kill();
    process.waitForFinished(int(qMax<qint64>(0, deadline.remainingTime())));
    return {};
}

// The kernel's table, where the system has one: read without starting any process.
std::optional<QHash<QString, QString>> readProcTable(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    return ArpLookup::parseProcTable(QString::fromUtf8(file.readAll()));
}
}

namespace ArpLookup {

QString normalizeMac(const QString& text)
{
    static const QRegularExpression separator("[:\\-]");
    const QStringList parts = text.toLower().split(separator);
    if (parts.size() != 6)
        return {};
    QStringList padded;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 2)
            return {};
        padded.append(part.rightJustified(2, '0'));
    }
    return padded.join(':');
}

QStringList tableArguments()
{
    return {QStringLiteral("-an")};
}

QHash<QString, QString> parseTable(const QString& text)
{
    static const QRegularExpression row(
        R"(\((\d{1,3}\.\d{1,3}\.\d{1,3}\.\d{1,3})\)\s+at\s+([0-9a-fA-F]{1,2}(?::[0-9a-fA-F]{1,2}){5}))");
    QHash<QString, QString> table;
    auto matches = row.globalMatch(text);
    while (matches.hasNext()) {
        const auto match = matches.next();
        const QString mac = normalizeMac(match.captured(2));
        if (!mac.isEmpty() && !table.contains(mac))
            table.insert(mac, match.captured(1));
    }
    return table;
}

QHash<QString, QString> parseProcTable(const QString& text)
{
    static const QRegularExpression whitespace("\\s+");
    QHash<QString, QString> table;
    const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split(whitespace, Qt::SkipEmptyParts);
        if (fields.size() < 4)
            continue;
        bool ok = false;
        const int flags = fields[2].toInt(&ok, 16);
        // Only completed entries (flag 0x2) carry a real hardware address.
        if (!ok || !(flags & 0x2))
            continue;
        const QString mac = normalizeMac(fields[3]);
        if (!mac.isEmpty() && !table.contains(mac))
            table.insert(mac, fields[0]);
    }
    return table;
}

QString macForIp(const QString& ip)
{
    return SystemArpSource().macForIp(ip);
}

QString ipForMac(const QString& mac)
{
    return SystemArpSource().ipForMac(mac);
}

}

SystemArpSource::SystemArpSource(QObject* parent, const QString& arpProgram, const QString& procTablePath)
    : ArpSource(parent)
    , m_arpProgram(arpProgram)
    , m_procTablePath(procTablePath)
{
}

QString SystemArpSource::macForIp(const QString& ip)
{
    if (const auto table = readProcTable(m_procTablePath))
        return table->key(ip);
    static const QRegularExpression singleMac(R"(([0-9a-fA-F]{1,2}(?::[0-9a-fA-F]{1,2}){5}))");
    const auto match = singleMac.match(runArp(m_arpProgram, {QStringLiteral("-n"), ip}));
    return match.hasMatch() ? ArpLookup::normalizeMac(match.captured(1)) : QString();
}

QString SystemArpSource::ipForMac(const QString& mac)
{
    const QString wanted = ArpLookup::normalizeMac(mac);
    if (wanted.isEmpty())
        return {};
    const auto table = readProcTable(m_procTablePath);
    return (table ? *table : ArpLookup::parseTable(runArp(m_arpProgram, ArpLookup::tableArguments()))).value(wanted);
}

bool SystemArpSource::isReading() const
{
    return !m_process.isNull() || m_kernelTableQueued;
}

void SystemArpSource::startTableRead()
{
    if (m_process || m_kernelTableQueued)
        return;
    if (auto table = readProcTable(m_procTablePath)) {
        // Reported later all the same, as the tool's table would be.
        m_kernelTableQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this, table = std::move(*table)] {
                m_kernelTableQueued = false;
                emit tableRead(table);
            },
            Qt::QueuedConnection);
        return;
    }
    auto* process = new QProcess(this);
    m_process = process;
    connect(process, &QProcess::finished, this, [this, process] { finishRead(process, true); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finishRead(process, false);
    });
    QTimer::singleShot(tableReadTimeoutMs, process, [process] {
        if (process->state() != QProcess::NotRunning)
            process->kill();
    });
    process->start(m_arpProgram, ArpLookup::tableArguments());
}

void SystemArpSource::finishRead(QProcess* process, bool started)
{
    if (m_process != process)
        return;
    const QHash<QString, QString> table = started
        ? ArpLookup::parseTable(QString::fromUtf8(process->readAllStandardOutput()))
        : QHash<QString, QString>();
    m_process.clear();
    process->deleteLater();
    emit tableRead(table);
}
