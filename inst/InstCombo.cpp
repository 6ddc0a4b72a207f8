#include "InstCombo.h"
#include "Inst.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

InstCombo::InstCombo(QWidget* parent)
    : QComboBox(parent)
{
    setFont(Inst::mono(12.5, QFont::Weight(500)));
    setCursor(Qt::PointingHandCursor);
    setMaxVisibleItems(12);
}

void InstCombo::setInTable(bool inTable)
{
    if (inTable == m_inTable)
        return;
    m_inTable = inTable;
    update();
}

void InstCombo::setPill(bool pill)
{
    if (pill == m_pill)
        return;
    m_pill = pill;
    update();
}

// The widest item, so that choosing another one never moves the layout.
QSize InstCombo::sizeHint() const
{
    const QFontMetricsF metrics(font());
    qreal advance = metrics.horizontalAdvance(currentText());
    for (int n = 0; n < count(); ++n)
        advance = std::max(advance, metrics.horizontalAdvance(itemText(n)));
    return QSize(int(std::ceil(advance)) + 43, 28);
}

QSize InstCombo::minimumSizeHint() const
{
    return sizeHint();
}

void InstCombo::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        p.setOpacity(0.45);

    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_inTable) {
        if (hasFocus()) {
            p.setPen(QPen(t.accent, 1));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(box, 3, 3);
        }
    } else if (m_pill) {
        p.setPen(QPen(hasFocus() ? t.accent : t.edge, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(box, box.height() / 2, box.height() / 2);
    } else {
        p.setPen(QPen(hasFocus() ? t.accent : t.bezel, 1));
        p.setBrush(t.canvas);
        p.drawRoundedRect(box, 4, 4);
    }

    const qreal chevronX = width() - (m_pill ? 19 : 16);
    const qreal midY = height() / 2.0;
    QPen chevronPen(t.sec, 1.4);
    chevronPen.setCapStyle(Qt::RoundCap);
    chevronPen.setJoinStyle(Qt::RoundJoin);
    p.setPen(chevronPen);
    QPainterPath chevron;
    chevron.moveTo(chevronX - 3.5, midY - 1.75);
    chevron.lineTo(chevronX, midY + 1.75);
    chevron.lineTo(chevronX + 3.5, midY - 1.75);
    p.drawPath(chevron);

    const qreal textLeft = m_pill ? 12 : 10;
    const QRectF textRect(textLeft, 0, chevronX - 8 - textLeft, height());
    // With nothing chosen the placeholder stands in, muted, as in the platform's own box.
    const bool none = currentIndex() < 0;
    p.setPen(none ? t.mut : t.pri);
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetricsF(font()).elidedText(none ? placeholderText() : currentText(), Qt::ElideRight,
                                                textRect.width()));
}
