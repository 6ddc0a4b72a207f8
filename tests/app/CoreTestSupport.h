#pragma once

#include "TestHelpers.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

// A data folder of the test's own: the program finds config.json below XDG_DATA_HOME.
class TestHome {
public:
    TestHome()
    {
        qputenv("XDG_DATA_HOME", m_dir.path().toUtf8());
        QDir().mkpath(dataFolder());
    }
    QString path() const { return m_dir.path(); }
    QString dataFolder() const { return m_dir.path() + "/KovraControl/Kovra Control"; }
    QString configPath() const { return dataFolder() + "/config.json"; }

    // A file of the data folder by name, or any file by its path.
    void write(const QString& name, const QByteArray& bytes) const { writeAt(dataFolder() + "/" + name, bytes); }
    QByteArray read(const QString& name) const { return readAt(dataFolder() + "/" + name); }
    static void writeAt(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }
    static QByteArray readAt(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QJsonObject readConfig() const { return QJsonDocument::fromJson(read("config.json")).object(); }

private:
    QTemporaryDir m_dir;
};

inline QJsonObject cameraEntry(const QString& id, const QString& ip, int index, const QString& mac = QString())
{
    QJsonObject camera{{"id", id}, {"name", "Cam " + id}, {"ip", ip}, {"index", index}};
    if (!mac.isEmpty())
        camera.insert("mac", mac);
    return camera;
}

// Listening on loopback only, so that tests never depend on the host's other interfaces.
inline QJsonObject oscSettings(int port)
{
    return {{"oscPort", port}, {"oscListenInterface", "127.0.0.1"}};
}

inline QByteArray configDocument(const QJsonArray& cameras, const QJsonObject& settings,
                                 const QJsonObject& midi = QJsonObject())
{
    QJsonObject document{{"version", 2}, {"cameras", cameras}, {"settings", settings}};
    if (!midi.isEmpty())
        document.insert("midi", midi);
    return QJsonDocument(document).toJson();
}
