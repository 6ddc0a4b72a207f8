#include "PanelText.h"

namespace PanelText {

QString singleLine(const QString& text, int maxLength)
{
    QString line = text;
    for (QChar& c : line) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    }
    line = line.trimmed();
    if (line.size() > maxLength) {
        int cut = maxLength;
        if (cut > 0 && line.at(cut - 1).isHighSurrogate())
            --cut;
        line = line.left(cut).trimmed();
    }
    return line;
}

}
