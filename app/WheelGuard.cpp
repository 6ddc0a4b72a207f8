#include "WheelGuard.h"

#include <QAbstractSlider>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QScrollBar>
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
    // Scroll bars are sliders too, but they are what a scroll area forwards its wheel to.
    const bool guarded = qobject_cast<QComboBox*>(watched) || qobject_cast<QSpinBox*>(watched)
        || qobject_cast<QDoubleSpinBox*>(watched)
        || (qobject_cast<QAbstractSlider*>(watched) && !qobject_cast<QScrollBar*>(watched));
    if (!guarded)
        return QObject::eventFilter(watched, event);
    if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->parentWidget())
        QCoreApplication::sendEvent(widget->parentWidget(), event);
    return true;
}
