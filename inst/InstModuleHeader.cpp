#include "InstModuleHeader.h"

#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <cmath>

namespace {

const Inst::Appearance kSegments[3] = {Inst::System, Inst::Light, Inst::Dark};
const qreal kSegmentX[3] = {1.5, 24.5, 47.5};

QString tooltipOf(int segment)
{
    switch (segment) {
    case 0: return QStringLiteral("System default");
    case 1: return QStringLiteral("Light");
    case 2: return QStringLiteral("Dark");
    }
    return QString();
}

void paintSystemIcon(QPainter& p, const QPointF& centre, const QColor& colour)
{
    const qreal r = 5;
    p.setPen(QPen(colour, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, r, r);
    QPainterPath half;
    half.moveTo(centre.x(), centre.y() - r);
    half.arcTo(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 90, 180);
    half.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(half);
}

void paintLightIcon(QPainter& p, const QPointF& centre, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(centre, 2.6, 2.6);
    QPen ray(colour, 1.2);
    ray.setCapStyle(Qt::RoundCap);
    p.setPen(ray);
    for (int n = 0; n < 8; ++n) {
        const qreal angle = n * M_PI / 4;
        const QPointF direction(std::cos(angle), std::sin(angle));
        p.drawLine(centre + direction * 4.3, centre + direction * 5.8);
    }
}

void paintDarkIcon(QPainter& p, const QPointF& centre, const QColor& colour)
{
    QPainterPath moon;
    moon.addEllipse(centre, 5, 5);
    QPainterPath bite;
    bite.addEllipse(centre + QPointF(2.6, -2.2), 4.2, 4.2);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(moon.subtracted(bite));
}

}

InstAppearanceSelector::InstAppearanceSelector(QWidget* parent)
    : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(QStringLiteral("Appearance"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setMouseTracking(true);
}

void InstAppearanceSelector::setAppearance(Inst::Appearance appearance)
{
    if (appearance == m_appearance)
        return;
    m_appearance = appearance;
    update();
}

void InstAppearanceSelector::setChangeCallback(std::function<void(Inst::Appearance)> callback)
{
    m_callback = std::move(callback);
}

QRectF InstAppearanceSelector::segmentRect(int segment)
{
    if (segment < 0 || segment > 2)
        return QRectF();
    return QRectF(kSegmentX[segment], 0, 23, 20);
}

int InstAppearanceSelector::segmentAt(const QPointF& pos)
{
    for (int n = 0; n < 3; ++n) {
        if (segmentRect(n).contains(pos))
            return n;
    }
    return -1;
}

QSize InstAppearanceSelector::sizeHint() const
{
    return QSize(72, 20);
}

QSize InstAppearanceSelector::minimumSizeHint() const
{
    return sizeHint();
}

void InstAppearanceSelector::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    QColor strip = t.bezel;
    strip.setAlphaF(t.bezel.alphaF() * 0.55f);
    p.setPen(QPen(t.bezel, 1));
    p.setBrush(strip);
    p.drawRoundedRect(QRectF(0.5, 0.5, 71, 19), 6, 6);

    for (int n = 0; n < 3; ++n) {
        const QRectF segment = segmentRect(n).adjusted(1, 1.5, -1, -1.5);
        const bool selected = kSegments[n] == m_appearance;
        if (selected) {
            p.setPen(Qt::NoPen);
            p.setBrush(t.accent);
            p.drawRoundedRect(segment, 4.5, 4.5);
        }
        const QColor ink = selected ? t.panel : t.sec;
        const QPointF centre = segment.center();
        if (n == 0)
            paintSystemIcon(p, centre, ink);
        else if (n == 1)
            paintLightIcon(p, centre, ink);
        else
            paintDarkIcon(p, centre, ink);
    }
}

void InstAppearanceSelector::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int segment = segmentAt(event->position());
    if (segment < 0)
        return;
    const Inst::Appearance chosen = kSegments[segment];
    if (chosen == m_appearance)
        return;
    m_appearance = chosen;
    update();
    if (m_callback)
        m_callback(chosen);
}

bool InstAppearanceSelector::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int segment = segmentAt(help->pos());
        if (segment < 0) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tooltipOf(segment), this, segmentRect(segment).toAlignedRect());
        }
        return true;
    }
    return QWidget::event(event);
}

InstModuleHeader::InstModuleHeader(const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_row(new QHBoxLayout(this))
    , m_title(new QLabel(title, this))
    , m_info(new QLabel(this))
    , m_selector(new InstAppearanceSelector(this))
{
    m_row->setContentsMargins(14, 6, 12, 7);
    m_row->setSpacing(8);
    m_title->setFont(Inst::mono(12.5, QFont::Weight(500), 2.0));
    Inst::setTone(m_title, "sec");
    m_info->setFont(Inst::mono(11.5));
    Inst::setTone(m_info, "muted");
    m_row->addWidget(m_title);
    m_row->addStretch(1);
    m_row->addWidget(m_info);
    m_row->addWidget(m_selector);
}

void InstModuleHeader::setInfo(const QString& text)
{
    m_info->setText(text);
}

void InstModuleHeader::addNotice(QWidget* widget)
{
    if (widget)
        m_row->insertWidget(m_row->indexOf(m_selector), widget);
}

void InstModuleHeader::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = Inst::tokens();
    QPainter p(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, t.deck);
    gradient.setColorAt(1, t.panel);
    p.fillRect(rect(), gradient);
    p.fillRect(QRect(0, height() - 1, width(), 1), t.bezel);
}
