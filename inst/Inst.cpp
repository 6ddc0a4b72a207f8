#include "Inst.h"
#include "InstLog.h"
#include "InstStyleTemplate.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleHints>
#include <utility>
#include <vector>

namespace Inst {

namespace {

QColor pick(bool dark, QColor light, QColor darkColour)
{
    return dark ? darkColour : light;
}

QColor f(double r, double g, double b, double a = 1.0)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

Tokens buildTokens(bool dark)
{
    Tokens t;
    t.dark = dark;
    t.panel = pick(dark, f(0.955, 0.957, 0.962), f(0.027, 0.035, 0.047));
    t.deck = pick(dark, f(0.902, 0.91, 0.924), f(0.043, 0.052, 0.066));
    t.section = pick(dark, f(0.982, 0.984, 0.988), f(0.035, 0.044, 0.057));
    t.bezel = pick(dark, f(0.8, 0.816, 0.84), f(0.13, 0.15, 0.18));
    t.accent = pick(dark, f(0.055, 0.52, 0.72), f(0.27, 0.78, 0.96));
    t.pri = pick(dark, f(0.13, 0.15, 0.18), f(0.8, 0.82, 0.85));
    t.sec = pick(dark, f(0.34, 0.37, 0.42), f(0.55, 0.59, 0.64));
    t.mut = pick(dark, f(0.48, 0.51, 0.56), f(0.4, 0.44, 0.49));
    t.canvas = pick(dark, f(0.99, 0.988, 0.982), f(0.012, 0.018, 0.027));
    t.well = pick(dark, f(0.902, 0.912, 0.926), f(0.02, 0.028, 0.04));
    t.led = pick(dark, f(0.1, 0.52, 0.3), f(0.22, 0.88, 0.48));
    t.grid = pick(dark, f(0, 0, 0, 0.075), f(1, 1, 1, 0.09));
    t.screen = pick(dark, f(0.15, 0.17, 0.2), f(1, 1, 1, 0.92));
    t.edge = pick(dark, f(0, 0, 0, 0.14), f(1, 1, 1, 0.2));
    t.red = pick(dark, f(1, 0.231, 0.188), f(1, 0.271, 0.227));
    t.amber = pick(dark, f(0.8, 0.45, 0), f(1, 0.624, 0.039));
    return t;
}

// The dark values are in force from the start, before any setting is read.
Tokens g_tokens = buildTokens(true);
Appearance g_appearance = System;
QString g_monoFamily;

QString hex(const QColor& c)
{
    return c.name(QColor::HexRgb);
}

bool sameProperty(const QWidget* widget, const char* name, const char* value)
{
    const QVariant current = widget->property(name);
    if (!value || !*value)
        return !current.isValid();
    return current.isValid() && current.toByteArray() == QByteArray(value);
}

}

Appearance appearance()
{
    return g_appearance;
}

void setAppearance(Appearance appearance)
{
    g_appearance = appearance;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    Qt::ColorScheme scheme = Qt::ColorScheme::Unknown;
    if (appearance == Light)
        scheme = Qt::ColorScheme::Light;
    else if (appearance == Dark)
        scheme = Qt::ColorScheme::Dark;
    QGuiApplication::styleHints()->setColorScheme(scheme);
#endif
}

QString appearanceName(Appearance appearance)
{
    switch (appearance) {
    case System: return QStringLiteral("system");
    case Light: return QStringLiteral("light");
    case Dark: return QStringLiteral("dark");
    }
    return QStringLiteral("dark");
}

Appearance appearanceFromName(const QString& name)
{
    if (name == QLatin1String("light"))
        return Light;
    if (name == QLatin1String("system"))
        return System;
    return Dark;
}

bool systemIsDark()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    switch (QGuiApplication::styleHints()->colorScheme()) {
    case Qt::ColorScheme::Dark: return true;
    case Qt::ColorScheme::Light: return false;
    case Qt::ColorScheme::Unknown: break;
    }
#endif
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

bool wantsDark()
{
    switch (g_appearance) {
    case Dark: return true;
    case Light: return false;
    case System: break;
    }
    return systemIsDark();
}

bool setDark(bool dark)
{
    if (dark == g_tokens.dark)
        return false;
    g_tokens = buildTokens(dark);
    return true;
}

const Tokens& tokens()
{
    return g_tokens;
}

QPalette palette()
{
    const Tokens& t = g_tokens;
    QPalette p;
    p.setColor(QPalette::Window, t.panel);
    p.setColor(QPalette::WindowText, t.pri);
    p.setColor(QPalette::Base, t.canvas);
    p.setColor(QPalette::AlternateBase, t.section);
    p.setColor(QPalette::Text, t.pri);
    p.setColor(QPalette::Button, t.section);
    p.setColor(QPalette::ButtonText, t.pri);
    p.setColor(QPalette::Highlight, t.accent);
    p.setColor(QPalette::HighlightedText, t.panel);
    p.setColor(QPalette::PlaceholderText, t.mut);
    p.setColor(QPalette::Link, t.accent);
    p.setColor(QPalette::Disabled, QPalette::WindowText, t.mut);
    p.setColor(QPalette::Disabled, QPalette::Text, t.mut);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, t.mut);
    return p;
}

QString rgba(const QColor& colour, double factor)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(QString::number(colour.alphaF() * factor, 'f', 3));
}

QString styleSheet()
{
    const Tokens& t = g_tokens;
    // Longer tokens never share a prefix-with-closing-% with shorter ones, so the order
    // below is safe; it is kept fixed all the same.
    const std::vector<std::pair<const char*, QString>> replacements = {
        {"%mode%", t.dark ? QStringLiteral("dark") : QStringLiteral("light")},
        {"%pri%", hex(t.pri)},
        {"%sec%", hex(t.sec)},
        {"%mut%", hex(t.mut)},
        {"%panel%", hex(t.panel)},
        {"%deck%", hex(t.deck)},
        {"%section%", hex(t.section)},
        {"%bezel%", hex(t.bezel)},
        {"%accent%", hex(t.accent)},
        {"%canvas%", hex(t.canvas)},
        {"%led%", hex(t.led)},
        {"%amber%", hex(t.amber)},
        {"%red%", hex(t.red)},
        {"%grid%", rgba(t.grid, 1.0)},
        {"%screen%", rgba(t.screen, 1.0)},
        {"%led14%", rgba(t.led, 0.14)},
        {"%led22%", rgba(t.led, 0.22)},
        {"%led30%", rgba(t.led, 0.30)},
        {"%led50%", rgba(t.led, 0.50)},
        {"%amber40%", rgba(t.amber, 0.40)},
        {"%amber16%", rgba(t.amber, 0.16)},
        {"%red14%", rgba(t.red, 0.14)},
        {"%red22%", rgba(t.red, 0.22)},
        {"%red30%", rgba(t.red, 0.30)},
        {"%red50%", rgba(t.red, 0.50)},
        {"%acc14%", rgba(t.accent, 0.14)},
        {"%acc18%", rgba(t.accent, 0.18)},
        {"%acc22%", rgba(t.accent, 0.22)},
        {"%acc30%", rgba(t.accent, 0.30)},
        {"%acc50%", rgba(t.accent, 0.50)},
    };
    QString sheet = styleTemplate();
    for (const auto& [token, value] : replacements)
        sheet.replace(QLatin1String(token), value, Qt::CaseSensitive);
    return sheet;
}

void applyTo(QWidget* root)
{
    if (!root)
        return;
    // Without this a widget with a style sheet neither keeps a new palette (the sheet restores
    // the one it first saw) nor hands it down, so a second appearance would never take.
    QCoreApplication::setAttribute(Qt::AA_UseStyleSheetPropagationInWidgetStyles);
    root->setPalette(palette());
    root->setAutoFillBackground(true);
    root->setStyleSheet(styleSheet());
    // The painted widgets read the tokens when they paint, so a repaint is all they need.
    const QList<QWidget*> descendants = root->findChildren<QWidget*>();
    for (QWidget* child : descendants)
        child->update();
    root->update();
}

void registerFonts()
{
    if (!g_monoFamily.isEmpty())
        return;
    for (const char* weight : {"Regular", "Medium", "SemiBold"}) {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/inst/fonts/IBMPlexMono-%1.ttf").arg(QLatin1String(weight)));
        if (id < 0 || !g_monoFamily.isEmpty())
            continue;
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty())
            g_monoFamily = families.first();
    }
    if (g_monoFamily.isEmpty()) {
        qCWarning(lcInst, "Instrument: IBM Plex Mono is missing from the app's resources; using the system fixed font");
        g_monoFamily = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    }
}

QString monoFamily()
{
    return g_monoFamily;
}

QFont mono(double pointSize, QFont::Weight weight, double letterSpacing)
{
    registerFonts();
    QFont font(g_monoFamily);
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(pointSize);
    font.setWeight(weight);
    if (letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}

QFont sans(double pointSize, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPointSizeF(pointSize);
    font.setWeight(weight);
    return font;
}

double pt(double size)
{
    return size;
}

void repolish(QWidget* widget)
{
    if (!widget)
        return;
    QStyle* style = widget->style();
    style->unpolish(widget);
    style->polish(widget);
    widget->update();
}

void setTone(QWidget* widget, const char* tone)
{
    if (!widget)
        return;
    const QByteArray wanted(tone ? tone : "");
    const QVariant current = widget->property("tone");
    if (current.isValid() ? current.toByteArray() == wanted : wanted.isEmpty())
        return;
    widget->setProperty("tone", wanted);
    repolish(widget);
}

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(mono(10.5, QFont::Weight(600), 1.2));
    setTone(label, "muted");
    return label;
}

void style(QPushButton* button, Button kind)
{
    if (!button)
        return;
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);
    switch (kind) {
    case Plain:
        button->setFont(sans(12, QFont::Weight(500)));
        break;
    case Go:
        button->setProperty("inst", QByteArray("go"));
        button->setFont(mono(13.5, QFont::Weight(600)));
        break;
    case Primary:
        button->setProperty("inst", QByteArray("primary"));
        button->setFont(mono(13.5, QFont::Weight(600)));
        break;
    case Seg:
        button->setProperty("inst", QByteArray("seg"));
        button->setFont(mono(11.5, QFont::Weight(600), 0.6));
        button->setCheckable(true);
        break;
    case Help:
        button->setProperty("inst", QByteArray("help"));
        button->setFont(sans(11, QFont::Weight(600)));
        button->setFixedSize(20, 20);
        break;
    case Alarm:
        button->setProperty("inst", QByteArray("alarm"));
        button->setFont(mono(13.5, QFont::Weight(600)));
        break;
    }
    repolish(button);
}

void setAlarm(QPushButton* button, bool on)
{
    if (!button)
        return;
    button->setProperty("instState", on ? QVariant(QByteArray("alarm")) : QVariant());
    repolish(button);
}

void setTablePulse(QWidget* table, const char* pulse)
{
    if (!table || sameProperty(table, "pulse", pulse))
        return;
    table->setProperty("pulse", pulse && *pulse ? QVariant(QByteArray(pulse)) : QVariant());
    repolish(table);
}

void setSmall(QPushButton* button)
{
    if (!button)
        return;
    button->setProperty("instSize", QByteArray("small"));
    button->setFont(mono(11.5, QFont::Weight(600), 0.6));
    repolish(button);
}

}
