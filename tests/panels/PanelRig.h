#pragma once

#include "CameraApi.h"
#include "PanelFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QHash>
#include <QSlider>
#include <QWidget>

// The panel fixture with cameras added through the manager, as an operator adds them, and
// waits for their state sweeps: what the camera-following panels' tests drive.
class PanelRig : public PanelFixture {
public:
    PanelRig()
    {
        QObject::connect(manager->api(), &CameraApi::getFinished, manager.get(),
                         [this](const QString& ip, const QString&) { ++m_answered[ip]; });
    }

    // Starts a simulated camera of this product and adds it to the manager; returns its id.
    QString addCamera(const QString& product = QStringLiteral("URSA Broadcast G2"))
    {
        const int position = int(simulators.size());
        CameraSimulator* added = simulator(product);
        if (!added)
            return QString();
        manager->addCamera(QString("Camera %1").arg(position + 1), added->hostAndPort(), position + 1);
        return id(position);
    }

    CameraSimulator& camera(int position) { return *simulators.at(position); }

    QString id(int position)
    {
        const Camera* found = manager->cameraList()->cameraByIp(camera(position).hostAndPort());
        return found ? found->id : QString();
    }

    // The state requests a camera has received so far.
    int sweepRequests(int position)
    {
        CameraSimulator& simulator = camera(position);
        return simulator.requestCount("GET") - simulator.requestCount("GET", "system/product")
               - simulator.requestCount("GET", "camera/id");
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

private:
    // Requests in one state sweep of a camera that has every feature.
    static constexpr int sweepSize = 60;

    QHash<QString, int> m_answered;
};

// One panel over the rig, fed with every state update as the window feeds the selected camera's.
template <typename Panel>
class PanelOnRig : public PanelRig {
public:
    PanelOnRig()
    {
        QObject::connect(manager.get(), &CameraManager::cameraStateUpdated, &panel, &Panel::updateFromState);
    }

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

    Panel panel{manager.get()};
};

inline QStringList itemTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}
