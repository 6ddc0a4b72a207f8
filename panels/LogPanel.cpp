#include "LogPanel.h"

#include "FileLogger.h"
#include "Inst.h"
#include "InstChecks.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

// Within this many steps of the bottom the view keeps following new lines.
constexpr int followSlack = 4;

QColor levelColour(const QString& level)
{
    const Inst::Tokens& t = Inst::tokens();
    if (level == QLatin1String("ERROR"))
        return t.red;
    if (level == QLatin1String("WARN"))
        return t.amber;
    if (level == QLatin1String("INFO"))
        return t.accent;
    if (level == QLatin1String("DEBUG"))
        return t.sec;
    return t.pri;
}

}

LogPanel::LogPanel(QWidget* parent)
    : QWidget(parent)
    // Started with "--verbose", the switch shows it, so that switching it off takes effect.
    , m_verbose(FileLogger::instance()->isVerbose())
{
    setupUi();
    m_verboseCheck->setChecked(m_verbose);
    connect(m_verboseCheck, &QCheckBox::toggled, this, &LogPanel::setVerbose);
}

void LogPanel::setupUi()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_view = new QPlainTextEdit(this);
    m_view->setObjectName(QStringLiteral("logView"));
    m_view->setReadOnly(true);
    m_view->setFont(Inst::mono(11.5));
    m_view->setMaximumBlockCount(maxEntries);
    m_view->setFocusPolicy(Qt::ClickFocus);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_view->viewport()->installEventFilter(this);
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { m_autoScroll = value >= m_view->verticalScrollBar()->maximum() - followSlack; });
    layout->addWidget(m_view, 1);

    m_input = new QLineEdit(this);
    m_input->setObjectName(QStringLiteral("noteInput"));
    m_input->setFont(Inst::mono(11.5));
    m_input->setPlaceholderText(QStringLiteral("Type a note and press Enter to add to log..."));
    connect(m_input, &QLineEdit::returnPressed, this, &LogPanel::onUserInput);
    layout->addWidget(m_input);

    auto* row = new QHBoxLayout;
    m_clearButton = new QPushButton(QStringLiteral("Clear Log"), this);
    m_clearButton->setObjectName(QStringLiteral("clearLogButton"));
    Inst::style(m_clearButton, Inst::Plain);
    connect(m_clearButton, &QPushButton::clicked, this, &LogPanel::clear);
    row->addWidget(m_clearButton);
    row->addSpacing(16);
    m_verboseCheck = new InstCheck(QStringLiteral("Verbose Logging"), this);
    m_verboseCheck->setObjectName(QStringLiteral("verboseCheck"));
    m_verboseCheck->setToolTip(QStringLiteral("Log all API requests and debug messages"));
    row->addWidget(m_verboseCheck);
    row->addStretch(1);
    m_openLogLabel = new QLabel(QStringLiteral("Open Log File"), this);
    m_openLogLabel->setObjectName(QStringLiteral("openLogLabel"));
    m_openLogLabel->setFont(Inst::sans(12, QFont::Medium));
    Inst::setTone(m_openLogLabel, "info");
    m_openLogLabel->setCursor(Qt::PointingHandCursor);
    m_openLogLabel->setToolTip(FileLogger::instance()->logFilePath());
    m_openLogLabel->installEventFilter(this);
    row->addWidget(m_openLogLabel);
    layout->addLayout(row);
}

void LogPanel::logInfo(const QString& message)
{
    log(QStringLiteral("INFO"), message);
}

void LogPanel::logWarning(const QString& message)
{
    log(QStringLiteral("WARN"), message);
}

void LogPanel::logError(const QString& message)
{
    log(QStringLiteral("ERROR"), message);
}

void LogPanel::logDebug(const QString& message)
{
    log(QStringLiteral("DEBUG"), message);
}

void LogPanel::log(const QString& level, const QString& message)
{
    if (level != QLatin1String("DEBUG") || m_verbose)
        appendLog(level, message);
    FileLogger::instance()->write(level, message);
}

void LogPanel::appendLog(const QString& level, const QString& message)
{
    Entry entry{QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")), level, message};
    m_entries.append(entry);
    while (m_entries.size() > maxEntries)
        m_entries.removeFirst();
    m_view->appendHtml(html(entry));
    if (m_autoScroll)
        scrollToBottom();
}

QString LogPanel::html(const Entry& entry) const
{
    const Inst::Tokens& t = Inst::tokens();
    if (entry.level.isEmpty())
        return QStringLiteral("<span style='color:%1'>%2</span> <span style='color:%1'>—</span>")
            .arg(t.mut.name(), entry.time);
    return QStringLiteral("<span style='color:%1'>%2</span> <span style='color:%3; font-weight:bold'>%4</span> "
                          "<span style='color:%5'>%6</span>")
        .arg(t.mut.name(), entry.time, levelColour(entry.level).name(), entry.level.toHtmlEscaped(), t.pri.name(),
             entry.message.toHtmlEscaped());
}

bool LogPanel::isScrolledToBottom() const
{
    const QScrollBar* bar = m_view->verticalScrollBar();
    return bar->value() >= bar->maximum() - followSlack;
}

void LogPanel::scrollToBottom()
{
    QScrollBar* bar = m_view->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void LogPanel::onUserInput()
{
    const QString note = m_input->text().trimmed();
    m_input->clear();
    if (note.isEmpty()) {
        appendLog(QString(), QString());
        FileLogger::instance()->write(QStringLiteral("----"), QString());
        return;
    }
    appendLog(QStringLiteral("USER"), note);
    FileLogger::instance()->write(QStringLiteral("USER"), note);
}

void LogPanel::clear()
{
    m_entries.clear();
    m_view->clear();
}

void LogPanel::setVerbose(bool on)
{
    if (on == m_verbose)
        return;
    m_verbose = on;
    FileLogger::instance()->setVerbose(on);
    m_verboseCheck->setChecked(on);
    emit verboseChanged(on);
    if (on) {
        logInfo(QStringLiteral("Verbose logging enabled — all API traffic will be logged"));
        logInfo(QStringLiteral("Log file: %1").arg(FileLogger::instance()->logFilePath()));
    } else {
        logInfo(QStringLiteral("Verbose logging disabled"));
    }
}

void LogPanel::applyLook()
{
    const bool follow = m_autoScroll;
    const int position = m_view->verticalScrollBar()->value();
    m_view->clear();
    for (const Entry& entry : std::as_const(m_entries))
        m_view->appendHtml(html(entry));
    if (follow)
        scrollToBottom();
    else
        m_view->verticalScrollBar()->setValue(position);
    m_autoScroll = follow;
}

void LogPanel::openLogFile()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(FileLogger::instance()->logFilePath()));
}

void LogPanel::showLogFolder()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(FileLogger::instance()->logFilePath()).absolutePath()));
}

bool LogPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::Wheel) {
        QScrollBar* bar = m_view->verticalScrollBar();
        bar->setValue(bar->value() - static_cast<QWheelEvent*>(event)->angleDelta().y() / 2);
        return true;
    }
    if (watched == m_openLogLabel && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        openLogFile();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
