#pragma once

#include "CameraApi.h"
#include "CameraManager.h"
#include "CameraSimulator.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include <memory>
#include <vector>

// Simulated cameras on loopback behind a real camera manager: what the panel tests drive.
class PanelRig {
public:
    PanelRig()
    {
        // cameras.json goes to the test's own folder.
        QStandardPaths::setTestModeEnabled(true);
        QObject::connect(manager.api(), &CameraApi::getFinished, &manager,
                         [this](const QString& ip, const QString&) { ++m_answered[ip]; });
    }

    // Starts a simulated camera of this product and adds it to the manager; returns its id.
    QString addCamera(const QString& product = QStringLiteral("URSA Broadcast G2"))
    {
        auto simulator = std::make_unique<CameraSimulator>(product);
        simulator->listen();
        const QString address = simulator->hostAndPort();
        manager.addCamera(QString("Camera %1").arg(m_cameras.size() + 1), address, int(m_cameras.size()) + 1);
        m_cameras.push_back(std::move(simulator));
        return id(int(m_cameras.size()) - 1);
    }

    CameraSimulator& camera(int position) { return *m_cameras.at(position); }

    QString id(int position)
    {
        const Camera* found = manager.cameraList()->cameraByIp(camera(position).hostAndPort());
        return found ? found->id : QString();
    }

    // Waits until a camera with every feature has been swept once more since it had received
    // `requestsBefore` state requests, every answer has been taken in, and its event channel is open.
    bool waitForSweep(int position, int requestsBefore = 0)
    {
        CameraSimulator& simulator = camera(position);
        return QTest::qWaitFor(
            [&] {
                const int asked = sweepRequests(position);
                return asked >= requestsBefore + sweepSize && m_answered.value(simulator.hostAndPort()) == asked
                       && simulator.eventClientCount() > 0;
            },
            10000);
    }

    // Sets what the camera answers for an endpoint, then sweeps it and waits for the answers.
    bool setAndSweep(int position, const QString& endpoint, const QJsonValue& value)
    {
        camera(position).setEndpointValue(endpoint, value);
        const int before = sweepRequests(position);
        manager.fetchState(id(position));
        return waitForSweep(position, before);
    }

    bool waitForConnection(int position)
    {
        return QTest::qWaitFor([&] {
            const Camera* found = manager.cameraList()->camera(id(position));
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

    CameraManager manager;

    // The state requests a camera has received so far.
    int sweepRequests(int position)
    {
        CameraSimulator& simulator = camera(position);
        return simulator.requestCount("GET") - simulator.requestCount("GET", "system/product")
               - simulator.requestCount("GET", "camera/id");
    }

private:
    // Requests in one state sweep of a camera that has every feature.
    static constexpr int sweepSize = 60;

    std::vector<std::unique_ptr<CameraSimulator>> m_cameras;
    QHash<QString, int> m_answered;
};

// One panel over the rig, fed with every state update as the window feeds the selected camera's.
template <typename Panel>
class PanelOnRig : public PanelRig {
public:
    PanelOnRig() { QObject::connect(&manager, &CameraManager::cameraStateUpdated, &panel, &Panel::updateFromState); }

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
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, button->height() / 2));
            return;
        }
        for (int press = 0; press < presses; ++press)
            QTest::keyClick(widget, qobject_cast<QSlider*>(widget) ? Qt::Key_Right : Qt::Key_Down);
    }

    Panel panel{&manager};
};

inline QStringList itemTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}
