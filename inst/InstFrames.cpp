#include "InstFrames.h"
#include "Inst.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

QColor withAlpha(QColor c, qreal factor)
{
    c.setAlphaF(float(c.alphaF() * factor));
    return c;
}

}

InstBezel::InstBezel(const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_caption(Inst::caption(title, this))
    , m_row(new QHBoxLayout)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 8, 10, 9);
    column->setSpacing(6);
    column->addWidget(m_caption);
    m_row->setSpacing(12);
    column->addLayout(m_row);
}

void InstBezel::setRowOnly()
{
    m_caption->hide();
}

void InstBezel::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    update();
}

void InstBezel::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    if (m_active) {
        p.setPen(QPen(withAlpha(t.accent, 0.18), 3));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(frame, 5, 5);
    }
    p.setPen(m_active ? QPen(t.accent, 1.5) : QPen(t.bezel, 1));
    p.setBrush(t.section);
    p.drawRoundedRect(frame, 5, 5);
}

InstSection::InstSection(const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_header(new QWidget(this))
    , m_headerRow(new QHBoxLayout(m_header))
    , m_content(new QWidget(this))
    , m_contentLayout(new QVBoxLayout(m_content))
{
    m_header->setMinimumHeight(34);
    m_headerRow->setContentsMargins(11, 6, 8, 6);
    auto* titleLabel = new QLabel(title, m_header);
    titleLabel->setFont(Inst::mono(11.5, QFont::Weight(600), 1.4));
    Inst::setTone(titleLabel, "sec");
    m_headerRow->addWidget(titleLabel);
    m_headerRow->addStretch(1);

    m_content->setObjectName(QStringLiteral("instSectionContent"));
    m_contentLayout->setContentsMargins(11, 10, 11, 12);

    // One pixel all round keeps the children off the painted border.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(1, 1, 1, 1);
    column->setSpacing(0);
    column->addWidget(m_header);
    column->addWidget(m_content, 1);
}

void InstSection::addHeaderWidget(QWidget* widget)
{
    if (widget)
        m_headerRow->addWidget(widget);
}

void InstSection::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    update();
}

void InstSection::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        p.setOpacity(0.38);

    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath outline;
    outline.addRoundedRect(frame, 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(t.section);
    p.drawPath(outline);

    QPainterPath band;
    band.addRect(QRectF(frame.left(), frame.top(), frame.width(), m_header->geometry().bottom() + 1 - frame.top()));
    band = band.intersected(outline);
    p.setBrush(t.deck);
    p.drawPath(band);
    if (m_active) {
        p.setBrush(withAlpha(t.accent, 0.1));
        p.drawPath(band);
    }

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(m_active ? t.accent : t.bezel, 1));
    p.drawPath(outline);
}

InstScreen::InstScreen(QWidget* parent)
    : QWidget(parent)
{
}

void InstScreen::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(t.grid, 1));
    p.setBrush(t.canvas);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

SegStrip::SegStrip(QWidget* parent)
    : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
}

void SegStrip::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(t.bezel, 1));
    p.setBrush(withAlpha(t.bezel, 0.55));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}
