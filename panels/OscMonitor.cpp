#include "OscMonitor.h"

#include "Inst.h"
#include "InstChecks.h"
#include "InstCombo.h"
#include "InstFrames.h"
#include "LocalNetwork.h"
#include "OscListener.h"
#include "OscListenerControl.h"
#include "OscSender.h"
#include "PanelPage.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int minPort = 1024;
constexpr int maxPort = 65535;

QSpinBox* portBox(int value, QWidget* parent, const char* objectName)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(objectName));
    box->setRange(minPort, maxPort);
    box->setValue(value);
    box->setMinimumWidth(90);
    box->setFont(Inst::mono(12.5));
    return box;
}

QLabel* upperCaption(const QString& text, QWidget* parent)
{
    return Inst::caption(text.toUpper(), parent);
}

QPushButton* plainButton(const QString& text, QWidget* parent, const char* objectName)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(objectName));
    Inst::style(button, Inst::Plain);
    return button;
}

QString importantNote()
{
    return QObject::tr(
        "<b>⚠ Important:</b> Not all values are valid for every camera. For example, gain only accepts specific dB "
        "values supported by your camera model (e.g. 0, 2, 4, 6, 8, 10, 12 — not arbitrary numbers like 7). ISO, "
        "shutter angle, and white balance also have fixed valid values. Sending an unsupported value will be ignored "
        "by the camera. Check your camera’s documentation for supported values.");
}

QString controlReference()
{
    const QStringList lines = {
        "<b>Lens:</b>",
        "<code>/camera/1/focus</code> &lt;float 0.0–1.0&gt;",
        "<code>/camera/1/autofocus</code> (no args — trigger)",
        "<code>/camera/1/iris</code> &lt;float f-stop&gt;",
        "<code>/camera/1/iris/normalized</code> &lt;float 0.0–1.0&gt;",
        "<code>/camera/1/zoom</code> &lt;float 0.0–1.0&gt; (position)",
        "<code>/camera/1/zoom/speed</code> &lt;float -1.0–1.0&gt;",
        "",
        "<b>Exposure &amp; Video:</b>",
        "<code>/camera/1/iso</code> &lt;int&gt; (e.g. 100, 200, 400, 800...)",
        "<code>/camera/1/gain</code> &lt;int dB&gt; (e.g. 0, 2, 4, 6, 8, 10, 12...)",
        "<code>/camera/1/wb</code> &lt;int kelvin&gt; (e.g. 2500–10000)",
        "<code>/camera/1/tint</code> &lt;int -50 to 50&gt;",
        "<code>/camera/1/shutter/angle</code> &lt;int 100–36000&gt; (angle ×100)",
        "<code>/camera/1/shutter/speed</code> &lt;int&gt; (1/n fraction denominator)",
        "<code>/camera/1/nd</code> &lt;float stops&gt; (e.g. 0.0–5.0)",
        "<code>/camera/1/autoexposure</code> &lt;string&gt; (\"Off\", \"Continuous\", \"OneShot\")",
        "",
        "<b>Color Correction:</b>",
        "<code>/camera/1/cc/lift</code> &lt;float float float float&gt; (R G B Luma)",
        "<code>/camera/1/cc/gamma</code> &lt;float float float float&gt; (R G B Luma)",
        "<code>/camera/1/cc/gain</code> &lt;float float float float&gt; (R G B Luma)",
        "<code>/camera/1/cc/offset</code> &lt;float float float float&gt; (R G B Luma)",
        "<code>/camera/1/cc/contrast</code> &lt;float float&gt; (pivot, adjust)",
        "<code>/camera/1/cc/saturation</code> &lt;float 0.0–2.0&gt;",
        "<code>/camera/1/cc/hue</code> &lt;float -1.0–1.0&gt;",
        "<code>/camera/1/cc/lumacontribution</code> &lt;float 0.0–1.0&gt;",
        "",
        "<b>Audio (channels 0 and 1):</b>",
        "<code>/camera/1/audio/channel/0/level</code> &lt;float dB&gt;",
        "<code>/camera/1/audio/channel/0/input</code> &lt;string&gt;",
        "<code>/camera/1/audio/channel/0/phantom</code> &lt;bool&gt;",
        "<code>/camera/1/audio/channel/0/padding</code> &lt;bool&gt;",
        "<code>/camera/1/audio/channel/0/lowCut</code> &lt;bool&gt;",
        "",
        "<b>Transport &amp; Presets:</b>",
        "<code>/camera/1/record/start</code> (no args)",
        "<code>/camera/1/record/stop</code> (no args)",
        "<code>/camera/1/preset/recall</code> &lt;string \"name.cset\"&gt;",
        "",
        "<b>Outbound (state feedback on configured port):</b>",
        "<code>/camera/1/focus/value</code>, <code>/iris/value</code>, <code>/iso/value</code>, "
        "<code>/gain/value</code>, <code>/wb/value</code>, <code>/audio/channel/0/gain/value</code>, etc.",
        "",
        "<b>Camera index:</b> 1-based (matches OSC index in the Cameras tab).",
        "• <code>/camera/0/...</code> — broadcasts to <b>all</b> connected cameras",
        "• <code>/camera/1/...</code> — targets the camera with OSC index 1",
    };
    return lines.join(QStringLiteral("<br>"));
}

// OSC floats arrive widened to double; shown at their own precision they read as sent.
QString argumentText(const QVariant& argument)
{
    if (argument.typeId() == QMetaType::Double) {
        const double value = argument.toDouble();
        if (double(float(value)) == value)
            return QString::number(value, 'g', 7);
    }
    return argument.toString();
}

QLabel* richText(const QString& text, const char* tone, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setFont(Inst::sans(11.5));
    Inst::setTone(label, tone);
    return label;
}

}

OscMonitor::OscMonitor(OscListener* listener, OscSender* sender, int listenPort, QWidget* parent)
    : QWidget(parent)
    , m_listener(listener)
    , m_sender(sender)
{
    QVBoxLayout* page = PanelPage::install(this);
    page->addWidget(buildSettings());
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(buildMonitor(), 1);
    row->addWidget(buildReference());
    page->addLayout(row, 1);

    m_inPort->setValue(listenPort);
    m_enable->setChecked(m_sender->isEnabled());
    m_destination->setText(m_sender->destinationIp());
    m_outPort->setValue(m_sender->destinationPort());

    connect(m_inInterface, &QComboBox::currentIndexChanged, this, &OscMonitor::onListenPortChanged);
    connect(m_inPort, &QSpinBox::editingFinished, this, &OscMonitor::onListenPortChanged);
    connect(m_outInterface, &QComboBox::currentIndexChanged, this, &OscMonitor::onOutSettingsChanged);
    connect(m_enable, &QCheckBox::toggled, this, &OscMonitor::onOutSettingsChanged);
    connect(m_destination, &QLineEdit::editingFinished, this, &OscMonitor::onOutSettingsChanged);
    connect(m_outPort, &QSpinBox::editingFinished, this, &OscMonitor::onOutSettingsChanged);
    connect(m_pauseButton, &QPushButton::clicked, this, &OscMonitor::onTogglePause);
    connect(m_clearButton, &QPushButton::clicked, this, &OscMonitor::onClear);
    connect(m_maxLines, &QSpinBox::valueChanged, m_log, &QPlainTextEdit::setMaximumBlockCount);

    // A desk can send a thousand messages a second; the view takes them in batches, so
    // that laying out and painting lines never keeps the window from reacting.
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(flushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &OscMonitor::flushLines);
}

QWidget* OscMonitor::buildSettings()
{
    auto* bezel = new InstBezel(QStringLiteral("OSC"), this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(7, 1);

    m_inInterface = new InstCombo(bezel);
    m_inInterface->setObjectName(QStringLiteral("inboundInterface"));
    m_inInterface->setMinimumWidth(240);
    fillInterfaces(m_inInterface);
    m_inPort = portBox(OscListener::defaultPort, bezel, "inboundPort");
    grid->addWidget(PanelPage::rowLabel(tr("Inbound"), bezel), 0, 0);
    grid->addWidget(m_inInterface, 0, 1);
    grid->addWidget(upperCaption(tr("Port"), bezel), 0, 2);
    grid->addWidget(m_inPort, 0, 3);

    m_outInterface = new InstCombo(bezel);
    m_outInterface->setObjectName(QStringLiteral("outboundInterface"));
    m_outInterface->setMinimumWidth(240);
    fillInterfaces(m_outInterface);
    m_outPort = portBox(OscSender::defaultPort, bezel, "outboundPort");
    m_destination = new QLineEdit(bezel);
    m_destination->setObjectName(QStringLiteral("destinationAddress"));
    m_destination->setPlaceholderText(QStringLiteral("127.0.0.1"));
    m_destination->setMinimumWidth(130);
    m_destination->setMaximumWidth(150);
    m_destination->setFont(Inst::mono(12.5));
    m_enable = new InstToggle(tr("Enable"), bezel);
    m_enable->setObjectName(QStringLiteral("feedbackEnable"));
    grid->addWidget(PanelPage::rowLabel(tr("Outbound"), bezel), 1, 0);
    grid->addWidget(m_outInterface, 1, 1);
    grid->addWidget(upperCaption(tr("Port"), bezel), 1, 2);
    grid->addWidget(m_outPort, 1, 3);
    grid->addWidget(upperCaption(tr("Dest IP"), bezel), 1, 4);
    grid->addWidget(m_destination, 1, 5);
    grid->addWidget(m_enable, 1, 6);

    bezel->row()->addLayout(grid, 1);
    return bezel;
}

QWidget* OscMonitor::buildMonitor()
{
    auto* section = new InstSection(QStringLiteral("OSC Monitor"), this);
    m_maxLines = new QSpinBox(section);
    m_maxLines->setObjectName(QStringLiteral("maxLines"));
    m_maxLines->setRange(100, 10000);
    m_maxLines->setSingleStep(100);
    m_maxLines->setValue(defaultMaxLines);
    m_maxLines->setMinimumWidth(90);
    m_maxLines->setFont(Inst::mono(12.5));
    m_pauseButton = plainButton(tr("Pause"), section, "pauseButton");
    m_clearButton = plainButton(tr("Clear"), section, "clearButton");
    section->addHeaderWidget(upperCaption(tr("Max lines"), section));
    section->addHeaderWidget(m_maxLines);
    section->addHeaderWidget(m_pauseButton);
    section->addHeaderWidget(m_clearButton);

    m_log = new QPlainTextEdit(section);
    m_log->setObjectName(QStringLiteral("oscLog"));
    m_log->setReadOnly(true);
    m_log->setFont(Inst::mono(11.5));
    m_log->setMaximumBlockCount(defaultMaxLines);
    section->contentLayout()->addWidget(m_log);
    return section;
}

QWidget* OscMonitor::buildReference()
{
    auto* section = new InstSection(QStringLiteral("OSC Control Reference"), this);
    section->setFixedWidth(440);
    auto* scroll = new QScrollArea(section);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(scroll);
    content->setObjectName(QStringLiteral("instSectionContent"));
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 8, 0);
    layout->setSpacing(10);
    layout->addWidget(richText(importantNote(), "warn", content));
    QLabel* reference = richText(controlReference(), "sec", content);
    reference->setObjectName(QStringLiteral("controlReference"));
    reference->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    layout->addWidget(reference);
    layout->addStretch(1);
    scroll->setWidget(content);
    section->contentLayout()->addWidget(scroll);
    return section;
}

void OscMonitor::fillInterfaces(InstCombo* combo)
{
    PanelPage::ComboItems items;
    for (const InterfaceAddress& entry : LocalNetwork::standard()->interfaceAddresses()) {
        if (!entry.up || !entry.running || entry.loopback)
            continue;
        const QString name = entry.humanReadableName.isEmpty() ? entry.name : entry.humanReadableName;
        items.append({QStringLiteral("%1 (%2)").arg(name, entry.address.toString()), entry.address.toString()});
    }
    items.append({tr("Loopback only (127.0.0.1)"), QStringLiteral("127.0.0.1")});
    PanelPage::refill(combo, items);
}

void OscMonitor::setOscSettings(int listenPort, const QString& listenInterface, const QString& outIp, int outPort,
                                bool outEnabled, const QString& sendInterface)
{
    {
        const QSignalBlocker portBlocker(m_inPort);
        const QSignalBlocker inBlocker(m_inInterface);
        const QSignalBlocker outBlocker(m_outInterface);
        m_inPort->setValue(listenPort);
        for (auto [combo, address] : {std::pair{m_inInterface, listenInterface}, std::pair{m_outInterface, sendInterface}}) {
            if (!PanelPage::selectData(combo, address))
                combo->setCurrentIndex(0);
        }
    }
    m_destination->setText(outIp);
    m_outPort->setValue(outPort);
    m_enable->setChecked(outEnabled);
}

void OscMonitor::onListenPortChanged()
{
    const int port = m_inPort->value();
    const QString address = m_inInterface->currentData().toString();
    if (port == m_listener->port() && address == m_listener->bindAddress())
        return;
    if (OscListenerControl::restart(m_listener, port, address))
        emit listenPortChanged(port);
}

void OscMonitor::onOutSettingsChanged()
{
    m_sender->setLocalInterface(m_outInterface->currentData().toString());
    m_sender->setDestination(m_destination->text().trimmed(), m_outPort->value());
    m_sender->setEnabled(m_enable->isChecked());
}

void OscMonitor::logMessage(const QString& address, const QVariantList& args)
{
    if (m_paused || !isVisible())
        return;
    QStringList words;
    for (const QVariant& argument : args)
        words << argumentText(argument);
    m_pendingLines << QStringLiteral("[%1]  %2  %3")
                          .arg(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")), address,
                               words.join(QStringLiteral("  ")));
    // Lines beyond the limit would only be dropped again by the view.
    if (m_pendingLines.size() > m_maxLines->value())
        m_pendingLines.removeFirst();
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void OscMonitor::flushLines()
{
    if (m_pendingLines.isEmpty())
        return;
    m_log->appendPlainText(m_pendingLines.join(QLatin1Char('\n')));
    m_pendingLines.clear();
}

void OscMonitor::onTogglePause()
{
    m_paused = !m_paused;
    m_pauseButton->setText(m_paused ? tr("Resume") : tr("Pause"));
}

void OscMonitor::onClear()
{
    m_pendingLines.clear();
    m_log->clear();
}
