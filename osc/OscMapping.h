#pragma once

#include <QList>
#include <QObject>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// One row of the address table: an OSC address pattern with an "{id}" placeholder and
// the camera request it stands for.
struct OscMapEntry {
    QString pattern;
    QRegularExpression regex;
    QString endpoint;
    QString method;
    QStringList jsonKeys;      // filled by the OSC arguments, by position
    bool isTrigger = false;    // takes no arguments; fixedBody (or "{}") is sent instead
    QString fixedBody;
    bool isOnOff = false;      // the camera wants a boolean: a number sent here means off when 0, else on
};

// What an incoming OSC address means. Built once in code; the first matching row wins.
class OscMapping : public QObject {
    Q_OBJECT
public:
    explicit OscMapping(QObject* parent = nullptr);

    void loadDefaults();
    void addMapping(const QString& pattern, const QString& endpoint, const QString& method,
                    const QStringList& jsonKeys, bool isTrigger = false, const QString& fixedBody = QString());

    // The first row matching the whole address, or null. On a match cameraIndex becomes the
    // number in the address, or -1 when that part is not plain decimal digits fitting an int.
    const OscMapEntry* findMapping(const QString& address, int& cameraIndex) const;
    const QList<OscMapEntry>& entries() const { return m_entries; }
    QRegularExpression patternToRegex(const QString& pattern) const;

private:
    void addOnOffMapping(const QString& pattern, const QString& endpoint);

    QList<OscMapEntry> m_entries;
};
