#include "InstChecks.h"
#include "Inst.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

// The box and tick shared by the check box and the check row.
void paintBox(QPainter& p, const QRectF& box, bool checked)
{
    const Inst::Tokens& t = Inst::tokens();
    if (checked) {
        p.setPen(Qt::NoPen);
        p.setBrush(t.accent);
        p.drawRoundedRect(box, 3.5, 3.5);
        QPen tick(t.panel, 1.9);
        tick.setCapStyle(Qt::RoundCap);
        tick.setJoinStyle(Qt::RoundJoin);
        p.setPen(tick);
        p.setBrush(Qt::NoBrush);
        QPainterPath path;
        path.moveTo(box.left() + box.width() * 0.25, box.top() + box.height() * 0.52);
        path.lineTo(box.left() + box.width() * 0.43, box.top() + box.height() * 0.70);
        path.lineTo(box.left() + box.width() * 0.76, box.top() + box.height() * 0.32);
        p.drawPath(path);
    } else {
        p.setPen(QPen(t.mut, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 3.5, 3.5);
    }
}

constexpr qreal kBox = 14;

}

InstToggle::InstToggle(const QString& text, QWidget* parent)
    : QCheckBox(text, parent)
{
    setFont(Inst::sans(12.5));
    setCursor(Qt::PointingHandCursor);
}

QSize InstToggle::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(int(std::ceil(metrics.horizontalAdvance(text()) + 45)), std::max(20, int(std::ceil(metrics.height()))));
}

QSize InstToggle::minimumSizeHint() const
{
    return sizeHint();
}

bool InstToggle::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

void InstToggle::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        p.setOpacity(0.4);

    const QRectF track(0, (height() - 20) / 2.0, 34, 20);
    p.setPen(Qt::NoPen);
    p.setBrush(isChecked() ? t.accent : t.bezel);
    p.drawRoundedRect(track, 10, 10);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(track.left() + (isChecked() ? 16 : 2), track.top() + 2, 16, 16));

    p.setPen(t.pri);
    p.drawText(QRectF(43, 0, width() - 43, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

InstCheck::InstCheck(const QString& text, QWidget* parent)
    : QCheckBox(text, parent)
{
    setFont(Inst::sans(12.5));
    setCursor(Qt::PointingHandCursor);
}

QSize InstCheck::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const int height = int(std::ceil(metrics.height()));
    return QSize(int(std::ceil(metrics.horizontalAdvance(text()) + 26)), height < 20 ? 19 : height);
}

QSize InstCheck::minimumSizeHint() const
{
    return sizeHint();
}

bool InstCheck::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

void InstCheck::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        p.setOpacity(0.45);
    paintBox(p, QRectF(1, (height() - kBox) / 2.0, kBox, kBox), isChecked());
    p.setPen(Inst::tokens().pri);
    p.drawText(QRectF(23, 0, width() - 23, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

// Columns: box at 4, name from 26, then value and detail, each 12 apart, 13 spare at the end.
InstCheckRow::InstCheckRow(const QString& name, const QString& value, const QString& detail, QWidget* parent)
    : QCheckBox(parent)
    , m_name(name)
    , m_value(value)
    , m_detail(detail)
{
    setFont(Inst::sans(12.5));
    setCursor(Qt::PointingHandCursor);
    setText(detail);
    setAccessibleName(QStringLiteral("%1 %2 %3").arg(name, value, detail));
    m_nameWidth = int(std::ceil(QFontMetricsF(font()).horizontalAdvance(name)));
    m_valueWidth = int(std::ceil(QFontMetricsF(Inst::mono(12.5)).horizontalAdvance(value)));
}

void InstCheckRow::setColumns(int nameWidth, int valueWidth)
{
    if (nameWidth == m_nameWidth && valueWidth == m_valueWidth)
        return;
    m_nameWidth = nameWidth;
    m_valueWidth = valueWidth;
    updateGeometry();
    update();
}

QSize InstCheckRow::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(int(std::ceil(metrics.horizontalAdvance(m_detail))) + m_nameWidth + m_valueWidth + 63, 24);
}

QSize InstCheckRow::minimumSizeHint() const
{
    return sizeHint();
}

bool InstCheckRow::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

void InstCheckRow::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        p.setOpacity(0.45);
    paintBox(p, QRectF(4, (height() - kBox) / 2.0, kBox, kBox), isChecked());

    const qreal nameX = 26;
    const qreal valueX = nameX + m_nameWidth + 12;
    const qreal detailX = valueX + m_valueWidth + 12;
    const Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    p.setPen(t.pri);
    p.drawText(QRectF(nameX, 0, m_nameWidth, height()), align, m_name);
    p.setFont(Inst::mono(12.5));
    p.setPen(t.accent);
    p.drawText(QRectF(valueX, 0, m_valueWidth, height()), align, m_value);
    p.setFont(font());
    p.setPen(t.mut);
    p.drawText(QRectF(detailX, 0, std::max<qreal>(0, width() - detailX), height()), align, m_detail);
}
