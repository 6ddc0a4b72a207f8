#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

// The instrument look: appearance, colour tokens, palette, the style sheet and the
// dynamic-property tags the sheet keys on. Everything here lives on the GUI thread.
namespace Inst {

enum Appearance { System = 0, Light = 1, Dark = 2 };

struct Tokens {
    bool dark = true;
    QColor panel;
    QColor deck;
    QColor section;
    QColor bezel;
    QColor accent;
    QColor pri;
    QColor sec;
    QColor mut;
    QColor canvas;
    QColor well;
    QColor led;
    QColor grid;
    QColor screen;
    QColor edge;
    QColor red;
    QColor amber;
};

Appearance appearance();
void setAppearance(Appearance appearance);
QString appearanceName(Appearance appearance);
Appearance appearanceFromName(const QString& name);
bool systemIsDark();
bool wantsDark();
bool setDark(bool dark);
const Tokens& tokens();

QPalette palette();
QString styleSheet();
void applyTo(QWidget* root);
QString rgba(const QColor& colour, double factor);

void registerFonts();
QString monoFamily();
QFont mono(double pointSize, QFont::Weight weight = QFont::Normal, double letterSpacing = 0);
QFont sans(double pointSize, QFont::Weight weight = QFont::Normal);
double pt(double size);

enum Button { Plain = 0, Go = 1, Primary = 2, Seg = 3, Help = 4, Alarm = 5 };

void setTone(QWidget* widget, const char* tone);
QLabel* caption(const QString& text, QWidget* parent = nullptr);
void style(QPushButton* button, Button kind);
void setAlarm(QPushButton* button, bool on);
void setTablePulse(QWidget* table, const char* pulse);
void setSmall(QPushButton* button);

// The style's unpolish and polish, then a repaint, so attribute selectors take effect at once.
void repolish(QWidget* widget);

}
