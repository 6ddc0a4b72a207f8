#include "Inst.h"
#include "InstChip.h"

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QProxyStyle>
#include <QStyleHints>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

namespace {
// Counts re-polishes, which is what a tone set on every state update would cost.
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
}

class TestTheme : public QObject {
    Q_OBJECT

private slots:
    // What the settings store holds; anything else falls back to the dark look.
    void appearanceNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("appearance");
        QTest::newRow("light") << "light" << int(Inst::Light);
        QTest::newRow("system") << "system" << int(Inst::System);
        QTest::newRow("dark") << "dark" << int(Inst::Dark);
        QTest::newRow("capital Light") << "Light" << int(Inst::Dark);
        QTest::newRow("empty") << "" << int(Inst::Dark);
    }

    void appearanceNames()
    {
        QFETCH(QString, name);
        QFETCH(int, appearance);
        QCOMPARE(int(Inst::appearanceFromName(name)), appearance);
        QCOMPARE(Inst::appearanceFromName(Inst::appearanceName(Inst::Appearance(appearance))), Inst::Appearance(appearance));
    }

    void systemLightness_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<bool>("dark");
        QTest::newRow("grey 127") << QColor(127, 127, 127) << true;
        QTest::newRow("grey 128") << QColor(128, 128, 128) << false;
        QTest::newRow("red, lightness 127") << QColor(254, 0, 0) << true;
    }

    // "System" follows the platform's window colour; the other two ignore it.
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
        QList<bool> wants;
        for (Inst::Appearance appearance : {Inst::System, Inst::Light, Inst::Dark}) {
            Inst::setAppearance(appearance);
            wants << Inst::wantsDark();
        }
        QApplication::setPalette(saved);
        QCOMPARE(wants, (QList<bool>{dark, false, true}));
    }

    // Every token of the template is replaced, tints keep their colour's own alpha, and each
    // look uses its own arrow pictures.
    void sheetOfEachLook()
    {
        QCOMPARE(Inst::rgba(QColor(26, 133, 77), 0.14), QString("rgba(26,133,77,0.140)"));
        QCOMPARE(Inst::rgba(QColor::fromRgbF(1, 0, 0, 0.5f), 0.5), QString("rgba(255,0,0,0.250)"));
        for (bool dark : {false, true}) {
            Inst::setDark(dark);
            const QString sheet = Inst::styleSheet();
            QVERIFY2(!sheet.contains('%'), qPrintable(sheet.mid(sheet.indexOf('%') - 20, 40)));
            QVERIFY(sheet.contains("color: " + Inst::tokens().pri.name() + ";"));
            QVERIFY(sheet.contains(dark ? "up-dark.png" : "up-light.png"));
            QVERIFY(!sheet.contains(dark ? "-light.png" : "-dark.png"));
        }
        for (const char* name : {"up-light", "down-light", "up-dark", "down-dark"}) {
            const QImage arrow(QStringLiteral(":/inst/arrows/%1.png").arg(name));
            QCOMPARE(arrow.size(), QSize(8, 5));
            QVERIFY2(arrow.pixelColor(3, QByteArray(name).startsWith("up") ? 1 : 3).alpha() > 128, name);
        }
    }

    // A second look must take on widgets that already wear the first: palette, sheet and
    // the painted widgets alike.
    void applyToSwitchesTheLook()
    {
        QWidget root;
        auto* layout = new QVBoxLayout(&root);
        auto* go = new QLabel("go");
        Inst::setTone(go, "go");
        auto* dot = new InstDot(12);
        layout->addWidget(go);
        layout->addWidget(dot);
        root.show();
        for (bool dark : {false, true, false}) {
            Inst::setDark(dark);
            Inst::applyTo(&root);
            const Inst::Tokens& t = Inst::tokens();
            QCOMPARE(root.palette().color(QPalette::Window), t.panel);
            QCOMPARE(go->palette().color(QPalette::WindowText).name(), t.led.name());
            for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                QCOMPARE(root.palette().color(QPalette::Disabled, role), t.mut);
            QCOMPARE(dot->grab().toImage().pixelColor(6, 6).name(), t.led.name());
        }
    }

    // The kit's own fonts are there: the LED digits and readouts need a fixed pitch.
    void monoFont()
    {
        const QFontInfo mono(Inst::mono(11.5));
        QCOMPARE(mono.family(), QStringLiteral("IBM Plex Mono"));
        QVERIFY(mono.fixedPitch());
    }

    // Tones and pulses are set on every state update: only a change may re-polish.
    void onlyChangesRepolish()
    {
        CountingStyle style;
        QLabel label("x");
        QTableView table;
        label.setStyle(&style);
        table.setStyle(&style);
        style.polished = 0;
        for (const char* tone : {"go", "go", "bad", "", ""})
            Inst::setTone(&label, tone);
        QCOMPARE(style.polished, 3);
        QCOMPARE(label.property("tone").toByteArray(), QByteArray());
        for (const char* pulse : {"bright", "bright", "dim", ""})
            Inst::setTablePulse(&table, pulse);
        QCOMPARE(style.polished, 6);
        QVERIFY(!table.property("pulse").isValid());
    }
};

QTEST_MAIN(TestTheme)
#include "tst_theme.moc"
