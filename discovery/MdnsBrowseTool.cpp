#include "MdnsBrowseTool.h"

#include <QStandardPaths>

namespace {
const QString dnsSd = QStringLiteral("dns-sd");
const QString avahiBrowse = QStringLiteral("avahi-browse");

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
}

MdnsBrowseTool::MdnsBrowseTool(Kind kind, const QString& program)
    : m_kind(kind)
    , m_program(program)
{
}

MdnsBrowseTool MdnsBrowseTool::find(const QProcessEnvironment& environment)
{
    const QStringList path = environment.value(QStringLiteral("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    // An empty search list would make findExecutable fall back to this process's own PATH.
    if (path.isEmpty())
        return MdnsBrowseTool(Kind::Missing, {});
    const QString dnsSdPath = QStandardPaths::findExecutable(dnsSd, path);
    if (!dnsSdPath.isEmpty())
        return MdnsBrowseTool(Kind::DnsSd, dnsSdPath);
    const QString avahiPath = QStandardPaths::findExecutable(avahiBrowse, path);
    if (!avahiPath.isEmpty())
        return MdnsBrowseTool(Kind::AvahiBrowse, avahiPath);
    return MdnsBrowseTool(Kind::Missing, {});
}

QStringList MdnsBrowseTool::arguments(const QString& serviceType) const
{
    switch (m_kind) {
    case Kind::DnsSd:
        return {QStringLiteral("-B"), serviceType, QStringLiteral("local.")};
    case Kind::AvahiBrowse:
        // Without the database look-up the type column stays the raw service type.
        return {QStringLiteral("--parsable"), QStringLiteral("--no-db-lookup"), serviceType};
    case Kind::Missing:
        break;
    }
    return {};
}

QString MdnsBrowseTool::instanceName(const QString& line, const QString& serviceType) const
{
    switch (m_kind) {
    case Kind::DnsSd: {
        // "12:00:00.000  Add  3  4 local.  _blackmagic._tcp.  URSA Broadcast G2"
        if (!line.contains(QLatin1String("Add")) || !line.contains(serviceType))
            return {};
        const QString key = serviceType + QLatin1Char('.');
        const int at = line.indexOf(key);
        return at < 0 ? QString() : line.mid(at + key.size()).trimmed();
    }
    case Kind::AvahiBrowse: {
        // "+;eth0;IPv4;URSA\032Broadcast\032G2;_blackmagic._tcp;local"
        const QStringList fields = line.split(QLatin1Char(';'));
        if (fields.size() < 6 || fields[0] != QLatin1String("+") || fields[4] != serviceType)
            return {};
        return unescapeAvahiLabel(fields[3]).trimmed();
    }
    case Kind::Missing:
        break;
    }
    return {};
}

QString MdnsBrowseTool::unescapeAvahiLabel(const QString& label)
{
    const QByteArray escaped = label.toUtf8();
    QByteArray raw;
    raw.reserve(escaped.size());
    for (int i = 0; i < escaped.size(); ++i) {
        const char c = escaped[i];
        if (c != '\\' || i + 1 >= escaped.size()) {
            raw.append(c);
            continue;
        }
        if (i + 3 < escaped.size() && isDigit(escaped[i + 1]) && isDigit(escaped[i + 2]) && isDigit(escaped[i + 3])) {
            const int value = (escaped[i + 1] - '0') * 100 + (escaped[i + 2] - '0') * 10 + (escaped[i + 3] - '0');
            if (value <= 255) {
                raw.append(char(value));
                i += 3;
                continue;
            }
        }
        raw.append(escaped[i + 1]);
        ++i;
    }
    return QString::fromUtf8(raw);
}
