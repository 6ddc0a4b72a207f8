#include "ArpLookup.h"

#include <QFile>
#include <QRegularExpression>
#include <QTimer>

namespace {
constexpr int lookupTimeoutMs = 2000;
constexpr int tableReadTimeoutMs = 5000;

struct ArpRun {
    bool started = false;
    QString output;
};

ArpRun runArp(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(lookupTimeoutMs))
        return {};
    ArpRun run{true, {}};
    if (!process.waitForFinished(lookupTimeoutMs)) {
        process.kill();
        process.waitForFinished(lookupTimeoutMs);
        return run;
    }
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    return run;
}

QHash<QString, QString> readProcTable(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
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
    const ArpRun run = runArp(m_arpProgram, {QStringLiteral("-n"), ip});
    if (!run.started)
        return readProcTable(m_procTablePath).key(ip);
    static const QRegularExpression singleMac(R"(([0-9a-fA-F]{1,2}(?::[0-9a-fA-F]{1,2}){5}))");
    const auto match = singleMac.match(run.output);
    return match.hasMatch() ? ArpLookup::normalizeMac(match.captured(1)) : QString();
}

QString SystemArpSource::ipForMac(const QString& mac)
{
    const QString wanted = ArpLookup::normalizeMac(mac);
    if (wanted.isEmpty())
        return {};
    const ArpRun run = runArp(m_arpProgram, ArpLookup::tableArguments());
    const QHash<QString, QString> table =
        run.started ? ArpLookup::parseTable(run.output) : readProcTable(m_procTablePath);
    return table.value(wanted);
}

bool SystemArpSource::isReading() const
{
    return !m_process.isNull();
}

void SystemArpSource::startTableRead()
{
    if (m_process)
        return;
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
        : readProcTable(m_procTablePath);
    m_process.clear();
    process->deleteLater();
    emit tableRead(table);
}
