#include "AudioPanel.h"
#include "ColorPanel.h"
#include "Inst.h"
#include "PanelFixture.h"
#include "WindowStartup.h"
#include "SystemPanel.h"
#include "VideoPanel.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QLabel>
#include <QLayout>
#include <QScrollArea>
#include <QVBoxLayout>


// Lays the four camera-following panels out with a simulated camera's state at the window's
// opening and smallest sizes, in both appearances, and checks that no control is squeezed
// below its smallest size, sticks out of its frame or lies over a neighbour, and that the page
// never needs scrolling sideways.
class TestPanelLayout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Startup::installApplicationFonts();
        Inst::registerFonts();
    }

    void nothingClippedOrOverlapping_data()
    {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<int>("appearance");
        QTest::addColumn<QSize>("size");
        // The page of a window at its opening size, and at its smallest.
        const QSize sizes[] = {{1180, 900}, {1000, 380}};
        for (const char* panel : {"video", "color", "audio", "system"}) {
            for (Inst::Appearance appearance : {Inst::Dark, Inst::Light}) {
                for (const QSize& size : sizes) {
                    QTest::addRow("%s %s %d", panel, qPrintable(Inst::appearanceName(appearance)), size.width())
                        << panel << int(appearance) << size;
                }
            }
        }
    }

    void nothingClippedOrOverlapping()
    {
        QFETCH(QString, panel);
        QFETCH(int, appearance);
        QFETCH(QSize, size);

        PanelFixture rig;
        const QString cameraId = rig.addCamera();
        QVERIFY(rig.waitForSweep(0));
        rig.manager->sendCommand(cameraId, "transports/0/record", QJsonObject{{"recording", true}});
        QTRY_VERIFY(rig.camera(0).isRecording());
        rig.manager->fetchState(cameraId);
        QTRY_VERIFY(rig.manager->cameraList()->state(cameraId)->recording);

        QWidget host;
        auto* layout = new QVBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        using Factory = QWidget* (*)(CameraManager*, const QString&);
        const QHash<QString, Factory> factories = {{"video", &following<VideoPanel>},
                                                   {"color", &following<ColorPanel>},
                                                   {"audio", &following<AudioPanel>},
                                                   {"system", &following<SystemPanel>}};
        QWidget* page = factories.value(panel)(rig.manager.get(), cameraId);
        layout->addWidget(page);

        Inst::setAppearance(Inst::Appearance(appearance));
        Inst::setDark(Inst::wantsDark());
        Inst::applyTo(&host);
        host.resize(size);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QCoreApplication::processEvents();

        auto* content = page->findChild<QWidget*>("instContent");
        QVERIFY(content);
        QStringList faults;
        auto* scroll = page->findChild<QScrollArea*>();
        if (content->width() > scroll->viewport()->width())
            faults << QString("content %1 px wide in a %2 px page").arg(content->width()).arg(scroll->viewport()->width());
        collectFaults(content, faults);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

private:
    template <typename Panel>
    static QWidget* following(CameraManager* manager, const QString& cameraId)
    {
        auto* panel = new Panel(manager);
        panel->setCurrentCamera(cameraId);
        return panel;
    }

    static bool holds(const QLayout* layout, const QWidget* widget)
    {
        for (int i = 0; i < layout->count(); ++i) {
            QLayoutItem* item = layout->itemAt(i);
            if (item->widget() == widget || (item->layout() && holds(item->layout(), widget)))
                return true;
        }
        return false;
    }

    static QString describe(const QWidget* widget)
    {
        QString text = widget->metaObject()->className();
        if (!widget->objectName().isEmpty())
            text += " " + widget->objectName();
        if (auto* label = qobject_cast<const QLabel*>(widget))
            text += " \"" + label->text() + "\"";
        return text;
    }

    // The size below which a layout may not squeeze a widget: its size hint in a direction
    // its policy does not let it shrink, else its smallest size hint; a set minimum wins.
    static QSize smallestSize(const QWidget* widget)
    {
        const QSizePolicy policy = widget->sizePolicy();
        const QSize hint = widget->sizeHint();
        const QSize smallest = widget->minimumSizeHint();
        int width = policy.horizontalPolicy() & QSizePolicy::ShrinkFlag ? smallest.width() : hint.width();
        int height = policy.verticalPolicy() & QSizePolicy::ShrinkFlag ? smallest.height() : hint.height();
        if (widget->minimumWidth() > 0)
            width = widget->minimumWidth();
        if (widget->minimumHeight() > 0)
            height = widget->minimumHeight();
        return {width, height};
    }

    // Only widgets placed by a layout of their parent: the parts inside Qt's own controls are
    // theirs to arrange.
    static void collectFaults(QWidget* parent, QStringList& faults)
    {
        QList<QWidget*> placed;
        for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisible() && parent->layout() && holds(parent->layout(), child))
                placed << child;
        }
        for (int i = 0; i < placed.size(); ++i) {
            QWidget* widget = placed.at(i);
            const QSize smallest = smallestSize(widget);
            if (widget->width() < smallest.width() || widget->height() < smallest.height())
                faults << QString("%1 is %2x%3, needs %4x%5")
                              .arg(describe(widget))
                              .arg(widget->width())
                              .arg(widget->height())
                              .arg(smallest.width())
                              .arg(smallest.height());
            if (!parent->rect().contains(widget->geometry()))
                faults << QString("%1 sticks out of %2").arg(describe(widget), describe(parent));
            for (int j = i + 1; j < placed.size(); ++j) {
                if (widget->geometry().intersects(placed.at(j)->geometry()))
                    faults << QString("%1 overlaps %2").arg(describe(widget), describe(placed.at(j)));
            }
            collectFaults(widget, faults);
        }
    }
};

QTEST_MAIN(TestPanelLayout)
#include "tst_panellayout.moc"
