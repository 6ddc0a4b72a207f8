#include "InstChip.h"
#include "Inst.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <cmath>

InstDot::InstDot(int diameter, QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(diameter, diameter);
}

void InstDot::setColor(const QColor& colour)
{
    if (colour == m_colour)
        return;
    m_colour = colour;
    update();
}

QColor InstDot::color() const
{
    return m_colour.isValid() ? m_colour : Inst::tokens().led;
}

void InstDot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color());
    p.drawEllipse(QRectF(rect()));
}

InstChip::InstChip(const QString& text, Tone tone, QWidget* parent)
    : QWidget(parent)
    , m_text(text)
    , m_tone(tone)
{
    setFont(Inst::sans(11, QFont::Weight(600)));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QColor InstChip::toneColor(Tone tone)
{
    const Inst::Tokens& t = Inst::tokens();
    switch (tone) {
    case Go: return t.led;
    case Info: return t.accent;
    case Warn: return t.amber;
    case Bad: return t.red;
    case Idle: break;
    }
    return t.sec;
}

void InstChip::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

void InstChip::setTone(Tone tone)
{
    if (tone == m_tone)
        return;
    m_tone = tone;
    update();
}

QSize InstChip::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(int(std::ceil(metrics.horizontalAdvance(m_text) + 16)), int(std::ceil(metrics.height() + 4)));
}

QSize InstChip::minimumSizeHint() const
{
    return sizeHint();
}

void InstChip::paintEvent(QPaintEvent*)
{
    const QColor colour = toneColor(m_tone);
    QColor face = colour;
    face.setAlphaF(colour.alphaF() * 0.18f);

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(rect());
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawRoundedRect(box, box.height() / 2, box.height() / 2);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, m_text);
}

InstStatus::InstStatus(QWidget* parent)
    : QWidget(parent)
    , m_main(new InstChip(QString(), InstChip::Idle, this))
    , m_detail(new InstChip(QString(), InstChip::Info, this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(7);
    layout->addWidget(m_main);
    layout->addWidget(m_detail);
    m_detail->hide();
}

void InstStatus::setText(const QString& text)
{
    const QString separator = QStringLiteral(" - ");
    const int at = text.indexOf(separator);
    const QString detail = at < 0 ? QString() : text.mid(at + separator.size());
    m_main->setText(at < 0 ? text : text.left(at));
    m_detail->setText(detail);
    m_detail->setVisible(!detail.isEmpty());
}

void InstStatus::setTone(InstChip::Tone tone)
{
    m_main->setTone(tone);
}

void InstStatus::setDetailTone(InstChip::Tone tone)
{
    m_detail->setTone(tone);
}
