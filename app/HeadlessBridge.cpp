#include "HeadlessBridge.h"

#include "AppCore.h"
#include "AppLog.h"
#include "FileLogger.h"

HeadlessBridge::HeadlessBridge(QObject* parent)
    : QObject(parent)
    , m_core(new AppCore(false, this))
{
    const auto report = [](const QString& text) { qCInfo(lcApp).noquote() << text; };
    connect(m_core, &AppCore::oscStatusChanged, this, report);
    connect(m_core, &AppCore::camerasStatusChanged, this, report);
    connect(m_core, &AppCore::midiStatusChanged, this, report);
    connect(m_core, &AppCore::switcherStatusChanged, this, report);
    connect(m_core, &AppCore::statusMessage, this, report);
    connect(m_core, &AppCore::logLine, this,
            [](const QString& level, const QString& text) { FileLogger::instance()->write(level, text); });
}

void HeadlessBridge::start()
{
    m_core->start();
}

void HeadlessBridge::shutdown()
{
    m_core->saveAllToAppData();
}
