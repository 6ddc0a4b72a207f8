#include "InstReadout.h"
#include "Inst.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

InstReadout::InstReadout(const QString& label, QWidget* parent, int ledHeight)
    : QWidget(parent)
    , m_led(new InstLed(ledHeight))
    , m_words(new QLabel)
    , m_unit(new QLabel)
{
    m_words->setFont(Inst::mono(15, QFont::Weight(500)));
    Inst::setTone(m_words, "sec");
    m_unit->setFont(Inst::mono(11.5, QFont::Weight(400)));
    Inst::setTone(m_unit, "muted");

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 9, 12, 9);
    column->setSpacing(4);
    column->addWidget(Inst::caption(label, this));
    auto* row = new QHBoxLayout;
    row->setSpacing(5);
    row->addWidget(m_led, 0, Qt::AlignBottom);
    row->addWidget(m_words, 0, Qt::AlignBottom);
    row->addWidget(m_unit, 0, Qt::AlignBottom);
    row->addStretch(1);
    column->addLayout(row);
    m_words->hide();
    m_unit->hide();
}

void InstReadout::setValue(const QString& value, const QString& unit)
{
    if (InstLed::canShow(value)) {
        m_led->setText(value);
        m_led->setDim(false);
        m_led->show();
        m_words->hide();
    } else {
        m_words->setText(value);
        m_words->show();
        m_led->hide();
    }
    m_unit->setText(unit);
    m_unit->setVisible(!unit.isEmpty());
}

void InstReadout::setIdle(const QString& text)
{
    m_led->setText(text);
    m_led->setDim(true);
    m_led->show();
    m_words->hide();
}

void InstReadout::setWordsTone(const char* tone)
{
    Inst::setTone(m_words, tone);
}

void InstReadout::setDivider(bool divider)
{
    if (divider == m_divider)
        return;
    m_divider = divider;
    update();
}

void InstReadout::paintEvent(QPaintEvent*)
{
    if (!m_divider)
        return;
    QPainter p(this);
    p.fillRect(QRect(width() - 1, 0, 1, height()), Inst::tokens().bezel);
}

InstReadoutBar::InstReadoutBar(QWidget* parent)
    : QWidget(parent)
    , m_row(new QHBoxLayout(this))
{
    m_row->setContentsMargins(1, 1, 1, 1);
    m_row->setSpacing(0);
}

InstReadout* InstReadoutBar::addReadout(const QString& label, int stretch)
{
    auto* readout = new InstReadout(label, this);
    readout->setDivider(false);
    if (m_last)
        m_last->setDivider(true);
    m_last = readout;
    m_row->addWidget(readout, stretch);
    return readout;
}

void InstReadoutBar::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(t.grid, 1));
    p.setBrush(t.well);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}
