#include "InstValue.h"
#include "Inst.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {

bool startsNumber(QChar c)
{
    return c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('.') || c == QLatin1Char(':');
}

bool continuesNumber(QChar c)
{
    return c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char(':');
}

bool mayFollowNumber(QChar c)
{
    return c.isSpace() || c.isLetter() || c == QLatin1Char('%') || c == QChar(0x00B0);
}

}

InstValue::InstValue(int ledHeight, QWidget* parent)
    : QWidget(parent)
    , m_led(new InstLed(ledHeight, this))
    , m_words(new QLabel(this))
    , m_unit(new QLabel(this))
{
    m_words->setFont(Inst::mono(12.5));
    m_unit->setFont(Inst::mono(11.5));
    Inst::setTone(m_unit, "muted");

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addWidget(m_led, 0, Qt::AlignVCenter);
    layout->addWidget(m_words, 0, Qt::AlignVCenter);
    layout->addWidget(m_unit, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    m_words->hide();
    m_unit->hide();
}

bool InstValue::split(const QString& text, QString* number, QString* unit)
{
    const QString trimmed = text.trimmed();
    int start = 0;
    if (trimmed.startsWith(QLatin1Char('+')))
        start = 1;
    int end = start;
    if (end < trimmed.size() && startsNumber(trimmed.at(end))) {
        ++end;
        while (end < trimmed.size() && continuesNumber(trimmed.at(end)))
            ++end;
    }
    const QString candidate = trimmed.mid(start, end - start);
    bool hasDigit = false;
    for (QChar c : candidate)
        hasDigit = hasDigit || c.isDigit();
    const bool stands = hasDigit && (end == trimmed.size() || mayFollowNumber(trimmed.at(end)));

    const QString foundNumber = stands ? candidate : QString();
    const QString foundUnit = stands ? trimmed.mid(end).trimmed() : trimmed;
    if (number)
        *number = foundNumber;
    if (unit)
        *unit = foundUnit;
    return stands;
}

void InstValue::setText(const QString& text)
{
    QString number;
    QString unit;
    if (split(text, &number, &unit)) {
        m_led->setText(number);
        m_led->show();
        m_words->hide();
        m_unit->setText(unit);
        m_unit->setVisible(!unit.isEmpty());
    } else {
        m_led->hide();
        m_words->setText(unit);
        m_words->show();
        m_unit->hide();
    }
}

void InstValue::setReserve(const QString& reserve)
{
    QString number;
    split(reserve, &number, nullptr);
    m_led->setReserve(number);
}

void InstValue::setTone(InstLed::Tone tone)
{
    m_led->setTone(tone);
}
