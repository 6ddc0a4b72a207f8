#pragma once

#include "CameraManager.h"
#include "CameraSimulator.h"

#include <QStringList>

#include <memory>
#include <vector>

// Simulated cameras in a camera manager, the n-th at the n-th of the given OSC indexes.
struct SimulatedCameras {
    std::vector<std::unique_ptr<CameraSimulator>> cameras;
    QStringList ids;
    CameraManager manager;

    explicit SimulatedCameras(const QList<int>& indexes)
    {
        for (int index : indexes) {
            cameras.push_back(std::make_unique<CameraSimulator>());
            cameras.back()->listen();
            manager.addCamera(QString("Camera %1").arg(index), cameras.back()->hostAndPort(), index);
            ids << manager.cameraList()->cameraByIp(cameras.back()->hostAndPort())->id;
        }
    }
    // What reached a camera, "endpoint body" per PUT, in arrival order.
    QStringList puts(int position) const
    {
        QStringList sent;
        for (const SimulatedRequest& request : cameras.at(std::size_t(position))->requests()) {
            if (request.method == "PUT")
                sent << request.endpoint + ' ' + request.body;
        }
        return sent;
    }
};
