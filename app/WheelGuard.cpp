#include "WheelGuard.h"

#include <QAbstractSlider>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QWheelEvent>

WheelGuard::WheelGuard(QObject* parent)
    : QObject(parent)
{
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    const bool guarded = qobject_cast<QComboBox*>(watched) || qobject_cast<QSpinBox*>(watched)
        || qobject_cast<QDoubleSpinBox*>(watched) || qobject_cast<QAbstractSlider*>(watched);
    if (!guarded)
        return QObject::eventFilter(watched, event);
    if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->parentWidget())
        QCoreApplication::sendEvent(widget->parentWidget(), event);
    return true;
}
