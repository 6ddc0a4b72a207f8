#pragma once

#include <QObject>

// Keeps the mouse wheel from changing combo boxes, spin boxes and sliders by accident:
// the wheel scrolls the surrounding view instead.
class WheelGuard : public QObject {
    Q_OBJECT
public:
    explicit WheelGuard(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
