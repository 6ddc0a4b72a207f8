#pragma once

#include "CameraManager.h"
#include "CameraSimulator.h"
#include "LocalNetwork.h"
#include "ScriptedBoxes.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTest>

#include <memory>
#include <vector>

// This computer's network as a test describes it.
class ScriptedNetwork : public LocalNetwork {
public:
    QList<InterfaceAddress> interfaces;
    QHash<QString, QString> macs;

    QList<InterfaceAddress> interfaceAddresses() override { return interfaces; }
    QString macForIp(const QString& ip) override { return macs.value(ip); }

    static InterfaceAddress wired(const QString& name, const QString& address, int prefixLength)
    {
        InterfaceAddress entry;
        entry.name = name;
        entry.humanReadableName = name;
        entry.address = QHostAddress(address);
        entry.prefixLength = prefixLength;
        entry.up = true;
        entry.running = true;
        return entry;
    }
};

// A camera manager over cameras.json in the test's own data folder, simulated cameras on
// loopback, scripted boxes and a scripted network: everything a panel stands on.
struct PanelFixture {
    PanelFixture()
    {
        QStandardPaths::setTestModeEnabled(true);
        QFile::remove(CameraManager().configPath());
        manager = std::make_unique<CameraManager>();
    }

    CameraSimulator* simulator(const QString& product = QStringLiteral("URSA Broadcast G2"),
                               const QHostAddress& address = QHostAddress::LocalHost, quint16 port = 0)
    {
        auto simulator = std::make_unique<CameraSimulator>(product);
        if (!simulator->listen(address, port))
            return nullptr;
        simulators.push_back(std::move(simulator));
        return simulators.back().get();
    }

    // Writes the cameras (objects as stored in cameras.json) and loads them as at start-up.
    void loadCameras(const QJsonArray& cameras)
    {
        QFile file(manager->configPath());
        if (file.open(QIODevice::WriteOnly))
            file.write(QJsonDocument(QJsonObject{{"cameras", cameras}}).toJson());
        file.close();
        manager->loadConfig();
    }

    // The cameras as cameras.json now holds them, by id.
    QHash<QString, QJsonObject> saved() const
    {
        QFile file(manager->configPath());
        QHash<QString, QJsonObject> cameras;
        if (!file.open(QIODevice::ReadOnly))
            return cameras;
        for (const QJsonValue& camera : QJsonDocument::fromJson(file.readAll()).object().value("cameras").toArray())
            cameras.insert(camera.toObject().value("id").toString(), camera.toObject());
        return cameras;
    }

    static QJsonObject camera(const QString& id, const QString& name, const QString& ip, int index,
                              bool disconnected = true)
    {
        QJsonObject object{{"id", id}, {"name", name}, {"ip", ip}, {"index", index}};
        if (disconnected)
            object.insert("disconnected", true);
        return object;
    }

    std::vector<std::unique_ptr<CameraSimulator>> simulators;
    std::unique_ptr<CameraManager> manager;
    ScriptedBoxes boxes;
    ScriptedNetwork network;
};
