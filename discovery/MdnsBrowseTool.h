#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The command-line mDNS browser the scanner runs, and how its output lines name the
// service instances it sees. "dns-sd" where the platform has it; Avahi's
// "avahi-browse" in its parsable mode elsewhere; neither means an empty browse.
class MdnsBrowseTool {
public:
    enum class Kind { DnsSd, AvahiBrowse, Missing };

    MdnsBrowseTool() = default;

    // The first of the two tools found on the environment's PATH.
    static MdnsBrowseTool find(const QProcessEnvironment& environment);

    Kind kind() const { return m_kind; }
    QString program() const { return m_program; }
    QStringList arguments(const QString& serviceType) const;
    // The instance name a newly announced service line carries; empty for any other line.
    QString instanceName(const QString& line, const QString& serviceType) const;

    // Avahi escapes '.' and '\' with a backslash and every other byte outside
    // [A-Za-z0-9_-] as a backslash and three decimal digits.
    static QString unescapeAvahiLabel(const QString& label);

private:
    MdnsBrowseTool(Kind kind, const QString& program);

    Kind m_kind = Kind::Missing;
    QString m_program;
};
