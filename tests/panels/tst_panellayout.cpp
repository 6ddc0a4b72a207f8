#include "AudioPanel.h"
#include "ColorPanel.h"
#include "Inst.h"
#include "PanelFixture.h"
#include "SystemPanel.h"
#include "VideoPanel.h"
#include "WindowStartup.h"

#include <QLabel>
#include <QLayout>
#include <QScrollArea>
#include <QVBoxLayout>

#include <optional>

// Lays the four camera-following panels out with a recording camera's state at the window's
// opening and smallest sizes, and checks that no control is squeezed below its smallest size,
// sticks out of its frame or lies over a neighbour, and that the page never needs scrolling
// sideways. Both looks share one sheet with only its colours changed, so one look is enough.
class TestPanelLayout : public QObject {
    Q_OBJECT

    std::optional<PanelFixture> rig;
    QString cameraId;

private slots:
    void initTestCase()
    {
        Startup::installApplicationFonts();
        rig.emplace();
        cameraId = rig->addCamera();
        QVERIFY(rig->waitForSweep(0));
        rig->manager->sendCommand(cameraId, "transports/0/record", QJsonObject{{"recording", true}});
        QTRY_VERIFY(rig->camera(0).isRecording());
        rig->manager->fetchState(cameraId);
        QTRY_VERIFY(rig->manager->cameraList()->state(cameraId)->recording);
    }

    void nothingClippedOrOverlapping_data()
    {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QSize>("size");
        for (const char* panel : {"video", "color", "audio", "system"})
            for (const QSize& size : {QSize(1180, 900), QSize(1000, 380)})
                QTest::addRow("%s %d", panel, size.width()) << panel << size;
    }

    void nothingClippedOrOverlapping()
    {
        QFETCH(QString, panel);
        QFETCH(QSize, size);
        QWidget host;
        auto* layout = new QVBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        const QHash<QString, QWidget* (*)(CameraManager*, const QString&)> factories = {
            {"video", &following<VideoPanel>}, {"color", &following<ColorPanel>},
            {"audio", &following<AudioPanel>}, {"system", &following<SystemPanel>}};
        QWidget* page = factories.value(panel)(rig->manager.get(), cameraId);
        layout->addWidget(page);
        Inst::setDark(true);
        Inst::applyTo(&host);
        host.resize(size);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QCoreApplication::processEvents();

        auto* content = page->findChild<QWidget*>("instContent");
        QStringList faults;
        const int viewport = page->findChild<QScrollArea*>()->viewport()->width();
        if (content->width() > viewport)
            faults << QString("content %1 px wide in a %2 px page").arg(content->width()).arg(viewport);
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
        const auto* label = qobject_cast<const QLabel*>(widget);
        return QString("%1 %2 %3").arg(widget->metaObject()->className(), widget->objectName(), label ? label->text() : "");
    }

    // The size below which a layout may not squeeze a widget: its size hint in a direction
    // its policy does not let it shrink, else its smallest size hint; a set minimum wins.
    static QSize smallestSize(const QWidget* widget)
    {
        const QSizePolicy policy = widget->sizePolicy();
        const QSize hint = widget->sizeHint(), smallest = widget->minimumSizeHint();
        const int width = policy.horizontalPolicy() & QSizePolicy::ShrinkFlag ? smallest.width() : hint.width();
        const int height = policy.verticalPolicy() & QSizePolicy::ShrinkFlag ? smallest.height() : hint.height();
        return {widget->minimumWidth() > 0 ? widget->minimumWidth() : width,
                widget->minimumHeight() > 0 ? widget->minimumHeight() : height};
    }

    // Only widgets placed by a layout of their parent: the parts inside Qt's own controls are
    // theirs to arrange.
    static void collectFaults(QWidget* parent, QStringList& faults)
    {
        QList<QWidget*> placed;
        for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->isVisible() && parent->layout() && holds(parent->layout(), child))
                placed << child;
        for (int i = 0; i < placed.size(); ++i) {
            QWidget* widget = placed.at(i);
            const QSize smallest = smallestSize(widget);
            if (widget->width() < smallest.width() || widget->height() < smallest.height())
                faults << QString("%1 is %2x%3, needs %4x%5").arg(describe(widget)).arg(widget->width()).arg(widget->height())
                              .arg(smallest.width()).arg(smallest.height());
            if (!parent->rect().contains(widget->geometry()))
                faults << QString("%1 sticks out of %2").arg(describe(widget), describe(parent));
            for (int j = i + 1; j < placed.size(); ++j)
                if (widget->geometry().intersects(placed.at(j)->geometry()))
                    faults << QString("%1 overlaps %2").arg(describe(widget), describe(placed.at(j)));
            collectFaults(widget, faults);
        }
    }
};

QTEST_MAIN(TestPanelLayout)
#include "tst_panellayout.moc"
