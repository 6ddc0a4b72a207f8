#pragma once

#include "CameraApi.h"
#include "CameraManager.h"
#include "CameraSimulator.h"
#include "ScriptedBoxes.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>

#include <memory>
#include <vector>

// A camera manager over cameras.json in the test's own data folder, simulated cameras on
// loopback and scripted boxes: everything a panel stands on.
struct PanelFixture {
    PanelFixture()
    {
        QStandardPaths::setTestModeEnabled(true);
        QFile::remove(CameraManager().configPath());
        manager = std::make_unique<CameraManager>();
        QObject::connect(manager->api(), &CameraApi::getFinished, manager.get(),
                         [this](const QString& ip, const QString&) { ++m_answered[ip]; });
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
    CameraSimulator& camera(int position) { return *simulators.at(size_t(position)); }

    // Writes the cameras (objects as stored in cameras.json) and loads them as at start-up.
    void loadCameras(const QJsonArray& cameras)
    {
        QFile file(manager->configPath());
        if (file.open(QIODevice::WriteOnly))
            file.write(QJsonDocument(QJsonObject{{"cameras", cameras}}).toJson());
        file.close();
        manager->loadConfig();
    }

    static QJsonObject storedCamera(const QString& id, const QString& name, const QString& ip, int index, bool disconnected = true)
    {
        QJsonObject object{{"id", id}, {"name", name}, {"ip", ip}, {"index", index}};
        if (disconnected)
            object.insert("disconnected", true);
        return object;
    }

    // Starts a simulated camera and adds it through the manager, as an operator does; returns its id.
    QString addCamera(const QString& product = QStringLiteral("URSA Broadcast G2"))
    {
        const int position = int(simulators.size());
        CameraSimulator* added = simulator(product);
        if (!added)
            return QString();
        manager->addCamera(QString("Camera %1").arg(position + 1), added->hostAndPort(), position + 1);
        return id(position);
    }

    QString id(int position)
    {
        const Camera* found = manager->cameraList()->cameraByIp(camera(position).hostAndPort());
        return found ? found->id : QString();
    }

    // The state requests a camera has received so far.
    int sweepRequests(int position)
    {
        return camera(position).requestCount("GET") - camera(position).requestCount("GET", "system/product")
               - camera(position).requestCount("GET", "camera/id");
    }

    // Waits until a camera with every feature (60 state requests) has been swept once more
    // since it had received `requestsBefore`, every answer is in, and its event channel is open.
    bool waitForSweep(int position, int requestsBefore = 0)
    {
        return QTest::qWaitFor(
            [&] {
                const int asked = sweepRequests(position);
                return asked >= requestsBefore + 60 && m_answered.value(camera(position).hostAndPort()) == asked
                       && camera(position).eventClientCount() > 0;
            },
            10000);
    }

    // Sets what the camera answers for an endpoint, then sweeps it and waits for the answers.
    bool setAndSweep(int position, const QString& endpoint, const QJsonValue& value)
    {
        camera(position).setEndpointValue(endpoint, value);
        const int before = sweepRequests(position);
        manager->fetchState(id(position));
        return waitForSweep(position, before);
    }

    bool waitForConnection(int position)
    {
        return QTest::qWaitFor([&] {
            const Camera* found = manager->cameraList()->camera(id(position));
            return found && found->status == CameraStatus::Connected;
        });
    }

    QList<QJsonObject> puts(int position, const QString& endpoint)
    {
        QList<QJsonObject> bodies;
        for (const QByteArray& body : camera(position).requestBodies("PUT", endpoint))
            bodies.append(QJsonDocument::fromJson(body).object());
        return bodies;
    }

    std::vector<std::unique_ptr<CameraSimulator>> simulators;
    std::unique_ptr<CameraManager> manager;
    ScriptedBoxes boxes;

private:
    QHash<QString, int> m_answered;
};

// One camera-following panel over the fixture, fed with every state update as the window
// feeds the selected camera's.
template <typename Panel>
struct PanelOnRig : PanelFixture {
    PanelOnRig() { QObject::connect(manager.get(), &CameraManager::cameraStateUpdated, &panel, &Panel::updateFromState); }

    // Adds a camera, waits for its first sweep and selects it.
    bool start(const QString& product = QStringLiteral("URSA Broadcast G2"))
    {
        const QString cameraId = addCamera(product);
        if (!waitForSweep(0))
            return false;
        panel.setCurrentCamera(cameraId);
        return true;
    }

    // A named control of the panel; aborts the test when there is none.
    template <typename T>
    T* control(const QString& name)
    {
        T* found = panel.template findChild<T*>(name);
        if (!found)
            qFatal("no control named %s", qPrintable(name));
        return found;
    }

    // Clicks a named button or toggle, or presses the key that steps a slider or a pull-down.
    void operate(const QString& name, int presses = 1)
    {
        auto* widget = control<QWidget>(name);
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            return QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, button->height() / 2));
        for (int press = 0; press < presses; ++press)
            QTest::keyClick(widget, qobject_cast<QSlider*>(widget) ? Qt::Key_Right : Qt::Key_Down);
    }

    Panel panel{manager.get()};
};

inline QStringList itemTexts(const QComboBox* combo, int role = Qt::DisplayRole)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemData(i, role).toString();
    return texts;
}
