#include "Inst.h"
#include "InstChip.h"

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

namespace {

// Counts the style's polish calls, which is what a re-polish costs.
class CountingStyle : public QProxyStyle {
public:
    CountingStyle() : QProxyStyle("Fusion") {}
    void polish(QWidget* widget) override
    {
        ++polished;
        QProxyStyle::polish(widget);
    }
    using QProxyStyle::polish;
    int polished = 0;
};

QString ruleBody(const QString& sheet, const QString& selector)
{
    const int at = sheet.indexOf(selector + QStringLiteral(" {"));
    if (at < 0)
        return QString();
    const int open = sheet.indexOf('{', at);
    return sheet.mid(open + 1, sheet.indexOf('}', open) - open - 1);
}

}

class TestTheme : public QObject {
    Q_OBJECT

private slots:
    void startsDark()
    {
        QVERIFY(Inst::tokens().dark);
        QCOMPARE(Inst::tokens().panel.name(), QStringLiteral("#07090c"));
        QCOMPARE(Inst::appearance(), Inst::System);
    }

    void tokenValues_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QStringList>("expected");
        // panel deck section bezel accent pri sec mut canvas well led red amber, then the alpha ones
        QTest::newRow("light") << false
                               << QStringList{"#f4f4f5", "#e6e8ec", "#fafbfc", "#ccd0d6", "#0e85b8", "#21262e", "#575e6b",
                                              "#7a828f", "#fcfcfa", "#e6e9ec", "#1a854d", "#ff3b30", "#cc7300",
                                              "rgba(0,0,0,0.075)", "rgba(38,43,51,1.000)", "rgba(0,0,0,0.140)"};
        QTest::newRow("dark") << true
                              << QStringList{"#07090c", "#0b0d11", "#090b0f", "#21262e", "#45c7f5", "#ccd1d9", "#8c96a3",
                                             "#66707d", "#030507", "#05070a", "#38e07a", "#ff453a", "#ff9f0a",
                                             "rgba(255,255,255,0.090)", "rgba(255,255,255,0.920)", "rgba(255,255,255,0.200)"};
    }

    void tokenValues()
    {
        QFETCH(bool, dark);
        QFETCH(QStringList, expected);
        Inst::setDark(dark);
        const Inst::Tokens& t = Inst::tokens();
        QCOMPARE(t.dark, dark);
        const QStringList actual{t.panel.name(), t.deck.name(), t.section.name(), t.bezel.name(), t.accent.name(),
                                 t.pri.name(), t.sec.name(), t.mut.name(), t.canvas.name(), t.well.name(), t.led.name(),
                                 t.red.name(), t.amber.name(), Inst::rgba(t.grid, 1), Inst::rgba(t.screen, 1),
                                 Inst::rgba(t.edge, 1)};
        QCOMPARE(actual, expected);
    }

    void appearanceNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("appearance");
        QTest::newRow("light") << "light" << int(Inst::Light);
        QTest::newRow("system") << "system" << int(Inst::System);
        QTest::newRow("dark") << "dark" << int(Inst::Dark);
        QTest::newRow("capital Dark") << "Dark" << int(Inst::Dark);
        QTest::newRow("capital Light") << "Light" << int(Inst::Dark);
        QTest::newRow("empty") << "" << int(Inst::Dark);
        QTest::newRow("blue") << "blue" << int(Inst::Dark);
        QTest::newRow("padded") << " light" << int(Inst::Dark);
    }

    void appearanceNames()
    {
        QFETCH(QString, name);
        QFETCH(int, appearance);
        QCOMPARE(int(Inst::appearanceFromName(name)), appearance);
    }

    void appearanceNamesRoundTrip()
    {
        for (Inst::Appearance a : {Inst::System, Inst::Light, Inst::Dark})
            QCOMPARE(Inst::appearanceFromName(Inst::appearanceName(a)), a);
        QCOMPARE(Inst::appearanceName(Inst::System), QStringLiteral("system"));
        QCOMPARE(Inst::appearanceName(Inst::Light), QStringLiteral("light"));
        QCOMPARE(Inst::appearanceName(Inst::Dark), QStringLiteral("dark"));
    }

    void setDarkReportsOnlyChanges()
    {
        Inst::setDark(false);
        QCOMPARE(Inst::setDark(true), true);
        QCOMPARE(Inst::setDark(true), false);
        QCOMPARE(Inst::tokens().led.name(), QStringLiteral("#38e07a"));
        QCOMPARE(Inst::setDark(false), true);
        QCOMPARE(Inst::setDark(false), false);
        QCOMPARE(Inst::tokens().led.name(), QStringLiteral("#1a854d"));
    }

    void systemLightness_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<bool>("dark");
        QTest::newRow("grey 127") << QColor(127, 127, 127) << true;
        QTest::newRow("grey 128") << QColor(128, 128, 128) << false;
        QTest::newRow("coloured 127") << QColor(254, 0, 0) << true;
        QTest::newRow("black") << QColor(0, 0, 0) << true;
        QTest::newRow("white") << QColor(255, 255, 255) << false;
    }

    void systemLightness()
    {
        QFETCH(QColor, window);
        QFETCH(bool, dark);
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
        if (QGuiApplication::styleHints()->colorScheme() != Qt::ColorScheme::Unknown)
            QSKIP("the platform reports a colour scheme, so the palette is not consulted");
#endif
        const QPalette saved = QGuiApplication::palette();
        QPalette p = saved;
        p.setColor(QPalette::Window, window);
        QApplication::setPalette(p);
        Inst::setAppearance(Inst::System);
        const bool system = Inst::systemIsDark();
        const bool wants = Inst::wantsDark();
        Inst::setAppearance(Inst::Light);
        const bool wantsWhenLight = Inst::wantsDark();
        Inst::setAppearance(Inst::Dark);
        const bool wantsWhenDark = Inst::wantsDark();
        QApplication::setPalette(saved);
        QCOMPARE(system, dark);
        QCOMPARE(wants, dark);
        QCOMPARE(wantsWhenLight, false);
        QCOMPARE(wantsWhenDark, true);
        QCOMPARE(Inst::appearance(), Inst::Dark);
    }

    void sheetValues()
    {
        Inst::setDark(false);
        const QString light = Inst::styleSheet();
        QVERIFY(ruleBody(light, "QLabel").contains("color: #21262e;"));
        QVERIFY(ruleBody(light, "QPushButton[inst=\"go\"]").contains("background: rgba(26,133,77,0.140);"));
        QVERIFY(light.contains("url(:/inst/arrows/up-light.png)"));
        QVERIFY(!light.contains("-dark.png"));

        Inst::setDark(true);
        const QString dark = Inst::styleSheet();
        QVERIFY(ruleBody(dark, "QTableView::item").contains("border-top: 1px solid rgba(255,255,255,0.090);"));
        QVERIFY(dark.contains("url(:/inst/arrows/down-dark.png)"));
        QVERIFY(!dark.contains("-light.png"));

        // Nothing is left for a later replacement to find, so no token slipped through.
        for (const QString& sheet : {light, dark}) {
            QVERIFY2(!sheet.contains('%'), qPrintable(sheet.mid(sheet.indexOf('%') - 20, 40)));
            QVERIFY(sheet.size() > 6000);
        }
    }

    void sheetTakesEffect()
    {
        Inst::setDark(false);
        QWidget root;
        auto* layout = new QVBoxLayout(&root);
        auto* plain = new QLabel("plain");
        auto* go = new QLabel("go");
        Inst::setTone(go, "go");
        layout->addWidget(plain);
        layout->addWidget(go);
        Inst::applyTo(&root);
        plain->ensurePolished();
        go->ensurePolished();
        QCOMPARE(plain->palette().color(QPalette::WindowText).name(), QStringLiteral("#21262e"));
        QCOMPARE(go->palette().color(QPalette::WindowText).name(), QStringLiteral("#1a854d"));

        Inst::setDark(true);
        Inst::applyTo(&root);
        QCOMPARE(plain->palette().color(QPalette::WindowText).name(), QStringLiteral("#ccd1d9"));
        QCOMPARE(go->palette().color(QPalette::WindowText).name(), QStringLiteral("#38e07a"));
    }

    void applyToSwitchesPaletteAndPaintedWidgets()
    {
        Inst::applyTo(nullptr);
        QWidget root;
        auto* layout = new QVBoxLayout(&root);
        auto* child = new QWidget;
        auto* dot = new InstDot(12);
        layout->addWidget(child);
        layout->addWidget(dot);
        root.resize(100, 100);
        root.show();

        for (bool dark : {false, true, false}) {
            Inst::setDark(dark);
            Inst::applyTo(&root);
            QVERIFY(root.autoFillBackground());
            QCOMPARE(root.palette().color(QPalette::Window), Inst::tokens().panel);
            QCOMPARE(child->palette().color(QPalette::Window), Inst::tokens().panel);
            QCOMPARE(root.palette().color(QPalette::Disabled, QPalette::Text), Inst::tokens().mut);
            const QImage image = dot->grab().toImage();
            QCOMPARE(image.pixelColor(6, 6).name(), Inst::tokens().led.name());
        }
    }

    void paletteRoles()
    {
        Inst::setDark(true);
        const Inst::Tokens& t = Inst::tokens();
        const QPalette p = Inst::palette();
        QCOMPARE(p.color(QPalette::Active, QPalette::Window), t.panel);
        QCOMPARE(p.color(QPalette::Inactive, QPalette::WindowText), t.pri);
        QCOMPARE(p.color(QPalette::Active, QPalette::Base), t.canvas);
        QCOMPARE(p.color(QPalette::Active, QPalette::AlternateBase), t.section);
        QCOMPARE(p.color(QPalette::Active, QPalette::Button), t.section);
        QCOMPARE(p.color(QPalette::Active, QPalette::Highlight), t.accent);
        QCOMPARE(p.color(QPalette::Active, QPalette::HighlightedText), t.panel);
        QCOMPARE(p.color(QPalette::Active, QPalette::PlaceholderText), t.mut);
        QCOMPARE(p.color(QPalette::Active, QPalette::Link), t.accent);
        QCOMPARE(p.color(QPalette::Active, QPalette::Text), t.pri);
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            QCOMPARE(p.color(QPalette::Disabled, role), t.mut);
        QCOMPARE(p.color(QPalette::Disabled, QPalette::Window), t.panel);
    }

    void rgbaText_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<double>("factor");
        QTest::addColumn<QString>("text");
        QTest::newRow("tint") << QColor(26, 133, 77) << 0.14 << "rgba(26,133,77,0.140)";
        QTest::newRow("keeps alpha") << QColor::fromRgbF(1, 1, 1, 0.09f) << 1.0 << "rgba(255,255,255,0.090)";
        QTest::newRow("alpha times factor") << QColor::fromRgbF(1, 0, 0, 0.5f) << 0.5 << "rgba(255,0,0,0.250)";
        QTest::newRow("opaque") << QColor(1, 2, 3) << 1.0 << "rgba(1,2,3,1.000)";
    }

    void rgbaText()
    {
        QFETCH(QColor, colour);
        QFETCH(double, factor);
        QFETCH(QString, text);
        QCOMPARE(Inst::rgba(colour, factor), text);
    }

    void arrowImages()
    {
        for (const char* name : {"up-light", "down-light", "up-dark", "down-dark"}) {
            const QImage image(QStringLiteral(":/inst/arrows/%1.png").arg(name));
            QVERIFY2(!image.isNull(), name);
            QCOMPARE(image.size(), QSize(8, 5));
            int inked = 0;
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 8; ++x)
                    inked += image.pixelColor(x, y).alpha() > 128;
            QVERIFY2(inked >= 5, name);
        }
        // An up chevron has its ink at the top centre, a down one at the bottom centre.
        const QImage up(":/inst/arrows/up-dark.png");
        const QImage down(":/inst/arrows/down-dark.png");
        QVERIFY(up.pixelColor(3, 1).alpha() > down.pixelColor(3, 1).alpha());
        QVERIFY(down.pixelColor(3, 3).alpha() > up.pixelColor(3, 3).alpha());
        QVERIFY(QImage(":/inst/arrows/up-light.png") != up);
    }

    void fonts()
    {
        Inst::registerFonts();
        QCOMPARE(Inst::monoFamily(), QStringLiteral("IBM Plex Mono"));
        const QFont seg = Inst::mono(11.5, QFont::Weight(600), 0.6);
        QCOMPARE(seg.family(), QStringLiteral("IBM Plex Mono"));
        QCOMPARE(seg.styleHint(), QFont::Monospace);
        QCOMPARE(seg.pointSizeF(), 11.5);
        QCOMPARE(seg.weight(), QFont::Weight(600));
        QCOMPARE(seg.letterSpacingType(), QFont::AbsoluteSpacing);
        QVERIFY(qAbs(seg.letterSpacing() - 0.6) <= 1.0 / 64); // stored in 1/64 px
        QCOMPARE(QFontInfo(seg).family(), QStringLiteral("IBM Plex Mono"));
        QVERIFY(QFontInfo(seg).fixedPitch());

        const QFont plain = Inst::mono(12.5);
        QCOMPARE(plain.letterSpacing(), 0.0);
        QCOMPARE(plain.letterSpacingType(), QFont::PercentageSpacing);

        const QFont sans = Inst::sans(11, QFont::Weight(600));
        QCOMPARE(sans.family(), QApplication::font().family());
        QCOMPARE(sans.pointSizeF(), 11.0);
        QCOMPARE(Inst::pt(13.5), 13.5);
    }

    void captionLabel()
    {
        QWidget parent;
        QLabel* label = Inst::caption("ISO", &parent);
        QCOMPARE(label->parent(), &parent);
        QCOMPARE(label->text(), QStringLiteral("ISO"));
        QCOMPARE(label->property("tone").toByteArray(), QByteArray("muted"));
        QCOMPARE(label->font().family(), QStringLiteral("IBM Plex Mono"));
        QCOMPARE(label->font().pointSizeF(), 10.5);
        QCOMPARE(label->font().weight(), QFont::Weight(600));
        QVERIFY(qAbs(label->font().letterSpacing() - 1.2) <= 1.0 / 64); // stored in 1/64 px
    }

    void buttonKinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("inst");
        QTest::addColumn<bool>("mono");
        QTest::addColumn<double>("size");
        QTest::newRow("plain") << int(Inst::Plain) << QByteArray() << false << 12.0;
        QTest::newRow("go") << int(Inst::Go) << QByteArray("go") << true << 13.5;
        QTest::newRow("primary") << int(Inst::Primary) << QByteArray("primary") << true << 13.5;
        QTest::newRow("seg") << int(Inst::Seg) << QByteArray("seg") << true << 11.5;
        QTest::newRow("help") << int(Inst::Help) << QByteArray("help") << false << 11.0;
        QTest::newRow("alarm") << int(Inst::Alarm) << QByteArray("alarm") << true << 13.5;
    }

    void buttonKinds()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, inst);
        QFETCH(bool, mono);
        QFETCH(double, size);
        QPushButton button("x");
        Inst::style(&button, Inst::Button(kind));
        QCOMPARE(button.cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(button.focusPolicy(), Qt::TabFocus);
        QCOMPARE(button.property("inst").toByteArray(), inst);
        QCOMPARE(button.property("inst").isValid(), !inst.isEmpty());
        QCOMPARE(button.font().family() == QStringLiteral("IBM Plex Mono"), mono);
        QCOMPARE(button.font().pointSizeF(), size);
        QCOMPARE(button.isCheckable(), kind == Inst::Seg);
        if (kind == Inst::Help)
            QCOMPARE(button.size(), QSize(20, 20));
    }

    void setToneComparesFirst()
    {
        Inst::setTone(nullptr, "go");
        CountingStyle style;
        QLabel label("x");
        label.setStyle(&style);
        style.polished = 0;

        Inst::setTone(&label, "go");
        QCOMPARE(style.polished, 1);
        QCOMPARE(label.property("tone").toByteArray(), QByteArray("go"));
        Inst::setTone(&label, "go");
        QCOMPARE(style.polished, 1);
        Inst::setTone(&label, "bad");
        QCOMPARE(style.polished, 2);
        Inst::setTone(&label, "");
        QCOMPARE(style.polished, 3);
        QCOMPARE(label.property("tone").toByteArray(), QByteArray());
        Inst::setTone(&label, "");
        QCOMPARE(style.polished, 3);

        QLabel fresh("y");
        fresh.setStyle(&style);
        style.polished = 0;
        Inst::setTone(&fresh, "");
        QCOMPARE(style.polished, 0);
    }

    void tablePulseComparesFirst()
    {
        Inst::setTablePulse(nullptr, "bright");
        CountingStyle style;
        QTableView table;
        table.setStyle(&style);
        style.polished = 0;
        Inst::setTablePulse(&table, "bright");
        Inst::setTablePulse(&table, "bright");
        QCOMPARE(style.polished, 1);
        Inst::setTablePulse(&table, "dim");
        QCOMPARE(style.polished, 2);
        QCOMPARE(table.property("pulse").toByteArray(), QByteArray("dim"));
        Inst::setTablePulse(&table, "");
        QVERIFY(!table.property("pulse").isValid());
        Inst::setTablePulse(&table, nullptr);
        QCOMPARE(style.polished, 3);
    }

    void alarmAndSmall()
    {
        Inst::setAlarm(nullptr, true);
        Inst::setSmall(nullptr);
        Inst::style(nullptr, Inst::Go);
        CountingStyle style;
        QPushButton button("REC");
        button.setStyle(&style);
        style.polished = 0;
        Inst::setAlarm(&button, true);
        QCOMPARE(button.property("instState").toByteArray(), QByteArray("alarm"));
        Inst::setAlarm(&button, true);
        QCOMPARE(style.polished, 2);
        Inst::setAlarm(&button, false);
        QVERIFY(!button.property("instState").isValid());

        Inst::setSmall(&button);
        QCOMPARE(button.property("instSize").toByteArray(), QByteArray("small"));
        QCOMPARE(button.font().pointSizeF(), 11.5);
        QVERIFY(qAbs(button.font().letterSpacing() - 0.6) <= 1.0 / 64); // stored in 1/64 px
    }
};

QTEST_MAIN(TestTheme)
#include "tst_theme.moc"
