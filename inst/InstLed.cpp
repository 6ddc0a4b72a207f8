#include "InstLed.h"
#include "Inst.h"

#include <QLineF>
#include <QPainter>
#include <cmath>

namespace {

constexpr QChar kMinusSign(0x2212);

bool isNarrow(QChar c)
{
    return c == QLatin1Char('.') || c == QLatin1Char(':');
}

// Segments a..g as bits 0..6.
int segmentsOf(QChar c)
{
    static const char* const digits[10] = {"abcdef", "bc", "abged", "abgcd", "fgbc",
                                           "afgcd", "afgedc", "abc", "abcdefg", "abcdfg"};
    if (c == QLatin1Char('-') || c == kMinusSign)
        return 1 << 6;
    // Any decimal digit the LED accepts lights as its value, not only the ASCII ones.
    const int value = c.isDigit() ? c.digitValue() : -1;
    if (value < 0 || value > 9)
        return 0;
    int mask = 0;
    for (const char* s = digits[value]; *s; ++s)
        mask |= 1 << (*s - 'a');
    return mask;
}

QColor withAlpha(QColor c, qreal factor)
{
    c.setAlphaF(float(c.alphaF() * factor));
    return c;
}

}

InstLed::InstLed(int height, QWidget* parent)
    : QWidget(parent)
    , m_height(height)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

bool InstLed::canShow(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        const bool ok = c.isDigit() || c == QLatin1Char(' ')
            || c == QLatin1Char('-') || c == QLatin1Char('.') || c == QLatin1Char(':') || c == kMinusSign;
        if (!ok)
            return false;
    }
    return true;
}

void InstLed::setText(const QString& text)
{
    if (text == m_text)
        return;
    const qreal before = widthOf(m_text);
    m_text = text;
    if (m_reserve.isEmpty()) {
        const qreal after = widthOf(m_text);
        if (std::abs(after - before) > 1e-12 * std::max(std::abs(after), std::abs(before)))
            updateGeometry();
    }
    update();
}

void InstLed::setReserve(const QString& reserve)
{
    if (reserve == m_reserve)
        return;
    m_reserve = reserve;
    updateGeometry();
    update();
}

void InstLed::setTone(Tone tone)
{
    if (tone == m_tone)
        return;
    m_tone = tone;
    update();
}

void InstLed::setDim(bool dim)
{
    if (dim == m_dim)
        return;
    m_dim = dim;
    update();
}

qreal InstLed::widthOf(const QString& text) const
{
    if (text.isEmpty())
        return 0;
    const qreal h = m_height;
    qreal width = 0;
    for (QChar c : text)
        width += isNarrow(c) ? 0.3 * h : 0.56 * h;
    return width + 0.07 * h * (text.size() - 1);
}

QSize InstLed::sizeHint() const
{
    const qreal h = m_height;
    const qreal w = widthOf(m_reserve.isEmpty() ? m_text : m_reserve);
    const qreal pad = 0.06 * h;
    return QSize(int(std::ceil(w + 2 * pad)), int(std::ceil(h + 2 * pad)));
}

QSize InstLed::minimumSizeHint() const
{
    return sizeHint();
}

void InstLed::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = Inst::tokens();
    const QColor c = m_tone == Warn ? t.amber : m_tone == Bad ? t.red : t.led;
    const qreal lit = m_dim ? 0.3 : 1.0;
    const qreal h = m_height;
    const qreal s = 0.12 * h;
    const qreal i = 0.066 * h;
    const qreal g = 0.066 * h;

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(0.06 * h, 0.06 * h);

    auto pen = [](const QColor& colour, qreal width) {
        QPen pen(colour, width);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::BevelJoin);
        return pen;
    };
    const QPen ghost = pen(withAlpha(c, 0.06), s);
    const QPen glow = pen(withAlpha(c, 0.2 * lit), 2 * s);
    const QPen core = pen(withAlpha(c, lit), s);

    auto dot = [&](qreal x, qreal y) {
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(c, 0.2 * lit));
        p.drawEllipse(QPointF(x, y), 0.135 * h, 0.135 * h);
        p.setBrush(withAlpha(c, lit));
        p.drawEllipse(QPointF(x, y), 0.075 * h, 0.075 * h);
    };

    qreal x = 0;
    for (QChar ch : m_text) {
        const qreal w = isNarrow(ch) ? 0.3 * h : 0.56 * h;
        if (ch == QLatin1Char('.')) {
            dot(x + w / 2, 0.9 * h);
        } else if (ch == QLatin1Char(':')) {
            dot(x + w / 2, 0.33 * h);
            dot(x + w / 2, 0.67 * h);
        } else if (ch != QLatin1Char(' ')) {
            const QLineF segments[7] = {
                {x + i + g, i, x + w - i - g, i},
                {x + w - i, i + g, x + w - i, 0.5 * h - g},
                {x + w - i, 0.5 * h + g, x + w - i, h - i - g},
                {x + i + g, h - i, x + w - i - g, h - i},
                {x + i, 0.5 * h + g, x + i, h - i - g},
                {x + i, i + g, x + i, 0.5 * h - g},
                {x + i + g, 0.5 * h, x + w - i - g, 0.5 * h},
            };
            const int mask = segmentsOf(ch);
            for (int n = 0; n < 7; ++n) {
                if (mask & (1 << n)) {
                    p.setPen(glow);
                    p.drawLine(segments[n]);
                    p.setPen(core);
                    p.drawLine(segments[n]);
                } else {
                    p.setPen(ghost);
                    p.drawLine(segments[n]);
                }
            }
        }
        x += w + 0.07 * h;
    }
}
