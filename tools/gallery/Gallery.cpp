#include "Gallery.h"

#include "InstChecks.h"
#include "InstChip.h"
#include "InstCombo.h"
#include "InstFrames.h"
#include "InstLed.h"
#include "InstModuleHeader.h"
#include "InstReadout.h"
#include "InstTabs.h"
#include "InstValue.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QHBoxLayout* addRow(QVBoxLayout* column, const QString& name)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    auto* label = Inst::caption(name);
    label->setMinimumWidth(92);
    row->addWidget(label);
    column->addLayout(row);
    return row;
}

InstSection* section(const QString& title, QVBoxLayout* column)
{
    auto* s = new InstSection(title);
    column->addWidget(s);
    return s;
}

QWidget* ledSamples()
{
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    auto* digits = addRow(column, "DIGITS");
    auto* all = new InstLed(30);
    all->setText("0123456789");
    digits->addWidget(all);
    digits->addStretch(1);

    auto* tones = addRow(column, "TONES");
    const std::pair<const char*, InstLed::Tone> toneSamples[] = {
        {"-12.5", InstLed::Go}, {"00:01:02:03", InstLed::Warn}, {"\u22123.5", InstLed::Bad}};
    for (const auto& [text, tone] : toneSamples) {
        auto* led = new InstLed(22);
        led->setText(QString::fromUtf8(text));
        led->setTone(tone);
        tones->addWidget(led);
    }
    tones->addStretch(1);

    auto* states = addRow(column, "DIM / GHOST");
    auto* dim = new InstLed(22);
    dim->setText("88.8");
    dim->setDim(true);
    states->addWidget(dim);
    auto* ghosts = new InstLed(22);
    ghosts->setText("A 7");
    states->addWidget(ghosts);
    auto* reserved = new InstLed(22);
    reserved->setReserve("00000");
    reserved->setText("42");
    states->addWidget(reserved);
    states->addStretch(1);
    return box;
}

QWidget* valueSamples()
{
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    auto* values = addRow(column, "VALUES");
    for (const char* text : {"5600 K", "+3.5 dB", "45\u00b0", "f/2.8"}) {
        auto* value = new InstValue(20);
        value->setText(QString::fromUtf8(text));
        values->addWidget(value);
    }
    auto* warn = new InstValue(20);
    warn->setTone(InstLed::Warn);
    warn->setText("-12 dB");
    values->addWidget(warn);
    values->addStretch(1);

    auto* bar = new InstReadoutBar;
    bar->addReadout("ISO")->setValue("800");
    bar->addReadout("SHUTTER")->setValue("1/50", "s");
    bar->addReadout("WHITE")->setValue("5600", "K");
    auto* idle = bar->addReadout("IRIS");
    idle->setIdle("--.-");
    auto* words = bar->addReadout("STATE");
    words->setValue("OFFLINE");
    words->setWordsTone("bad");
    column->addWidget(bar);
    return box;
}

QWidget* lampSamples()
{
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    auto* dots = addRow(column, "DOTS");
    const Inst::Tokens& t = Inst::tokens();
    dots->addWidget(new InstDot(10));
    for (const QColor& c : {t.amber, t.red, t.mut}) {
        auto* dot = new InstDot(10);
        dot->setColor(c);
        dots->addWidget(dot);
    }
    dots->addStretch(1);

    auto* chips = addRow(column, "CHIPS");
    const std::pair<const char*, InstChip::Tone> chipSamples[] = {
        {"GO", InstChip::Go}, {"INFO", InstChip::Info}, {"WARN", InstChip::Warn},
        {"BAD", InstChip::Bad}, {"IDLE", InstChip::Idle}};
    for (const auto& [text, tone] : chipSamples)
        chips->addWidget(new InstChip(text, tone));
    chips->addStretch(1);

    auto* status = addRow(column, "STATUS");
    auto* connected = new InstStatus;
    connected->setTone(InstChip::Go);
    connected->setText("Connected - 3 cameras");
    status->addWidget(connected);
    auto* idle = new InstStatus;
    idle->setText("Idle");
    status->addWidget(idle);
    status->addStretch(1);
    return box;
}

QWidget* buttonSamples()
{
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    const std::pair<const char*, Inst::Button> kinds[] = {
        {"Plain", Inst::Plain}, {"GO", Inst::Go}, {"PRIMARY", Inst::Primary}, {"ALARM", Inst::Alarm}};
    for (bool enabled : {true, false}) {
        auto* row = addRow(column, enabled ? "BUTTONS" : "DISABLED");
        for (const auto& [text, kind] : kinds) {
            auto* button = new QPushButton(text);
            Inst::style(button, kind);
            button->setEnabled(enabled);
            row->addWidget(button);
        }
        auto* help = new QPushButton("?");
        Inst::style(help, Inst::Help);
        help->setEnabled(enabled);
        row->addWidget(help);
        row->addStretch(1);
    }
    auto* extra = addRow(column, "SMALL / STATE");
    auto* small = new QPushButton("SMALL");
    Inst::style(small, Inst::Plain);
    Inst::setSmall(small);
    extra->addWidget(small);
    auto* alarmed = new QPushButton("REC");
    Inst::style(alarmed, Inst::Primary);
    Inst::setAlarm(alarmed, true);
    extra->addWidget(alarmed);

    auto* strip = new SegStrip;
    for (const char* text : {"AUTO", "MANUAL", "OFF"}) {
        auto* seg = new QPushButton(text);
        Inst::style(seg, Inst::Seg);
        strip->layout()->addWidget(seg);
        seg->setChecked(QByteArray(text) == "MANUAL");
    }
    auto* disabledSeg = new QPushButton("LOCKED");
    Inst::style(disabledSeg, Inst::Seg);
    disabledSeg->setEnabled(false);
    strip->layout()->addWidget(disabledSeg);
    extra->addWidget(strip);
    extra->addStretch(1);
    return box;
}

QWidget* controlSamples()
{
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    auto* toggles = addRow(column, "TOGGLES");
    for (int n = 0; n < 3; ++n) {
        auto* toggle = new InstToggle(n == 2 ? "Disabled" : n ? "On" : "Off");
        toggle->setChecked(n != 0);
        toggle->setEnabled(n != 2);
        toggles->addWidget(toggle);
    }
    toggles->addStretch(1);

    auto* checks = addRow(column, "CHECKS");
    for (int n = 0; n < 3; ++n) {
        auto* check = new InstCheck(n == 2 ? "Disabled" : n ? "Checked" : "Unchecked");
        check->setChecked(n != 0);
        check->setEnabled(n != 2);
        checks->addWidget(check);
    }
    checks->addStretch(1);

    auto* rows = new QVBoxLayout;
    rows->setSpacing(0);
    const char* const rowSamples[][3] = {
        {"Zebra", "95", "exposure stripes"}, {"Focus assist", "PEAK", "edges in colour"}, {"Frame guides", "2.39:1", "off when recording"}};
    QList<InstCheckRow*> checkRows;
    for (const auto& r : rowSamples)
        checkRows << new InstCheckRow(r[0], r[1], r[2]);
    int nameWidth = 0;
    int valueWidth = 0;
    for (InstCheckRow* row : checkRows) {
        nameWidth = std::max(nameWidth, row->nameWidth());
        valueWidth = std::max(valueWidth, row->valueWidth());
    }
    for (InstCheckRow* row : checkRows) {
        row->setColumns(nameWidth, valueWidth);
        rows->addWidget(row);
    }
    checkRows.first()->setChecked(true);
    checkRows.last()->setEnabled(false);
    auto* rowLine = addRow(column, "CHECK ROWS");
    rowLine->addLayout(rows);
    rowLine->addStretch(1);

    auto* combos = addRow(column, "PULL-DOWNS");
    for (int n = 0; n < 4; ++n) {
        auto* combo = new InstCombo;
        combo->addItems({"23.98 fps", "24 fps", "25 fps", "29.97 fps"});
        combo->setCurrentIndex(n);
        combo->setEnabled(n != 2);
        combo->setPill(n == 1);
        if (n == 3)
            combo->setObjectName("focusShowcase");
        combos->addWidget(combo);
    }
    combos->addWidget(new QLabel("(last one focused)"));
    combos->addStretch(1);
    return box;
}

QWidget* fieldSamples()
{
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(12);
    auto* edit = new QLineEdit("192.168.10.21");
    auto* empty = new QLineEdit;
    empty->setPlaceholderText("Camera name");
    auto* spin = new QSpinBox;
    spin->setRange(0, 65535);
    spin->setValue(58000);
    auto* date = new QDateEdit(QDate(2026, 12, 7));
    date->setCalendarPopup(true);
    auto* disabled = new QLineEdit("disabled");
    disabled->setEnabled(false);
    grid->addWidget(Inst::caption("FIELDS"), 0, 0);
    grid->addWidget(edit, 0, 1);
    grid->addWidget(empty, 0, 2);
    grid->addWidget(spin, 0, 3);
    grid->addWidget(date, 0, 4);
    grid->addWidget(disabled, 0, 5);

    grid->addWidget(Inst::caption("SLIDERS"), 1, 0);
    const char* tints[] = {"", "red", "green", "luma"};
    for (int n = 0; n < 4; ++n) {
        auto* slider = new QSlider(Qt::Horizontal);
        slider->setRange(0, 100);
        slider->setValue(30 + n * 15);
        if (*tints[n])
            slider->setProperty("tint", QByteArray(tints[n]));
        grid->addWidget(slider, 1, 1 + n);
    }
    auto* off = new QSlider(Qt::Horizontal);
    off->setValue(50);
    off->setEnabled(false);
    grid->addWidget(off, 1, 5);

    grid->addWidget(Inst::caption("PROGRESS"), 2, 0);
    auto* progress = new QProgressBar;
    progress->setValue(62);
    grid->addWidget(progress, 2, 1, 1, 2);

    grid->addWidget(Inst::caption("LABELS"), 3, 0);
    auto* tones = new QHBoxLayout;
    tones->setSpacing(12);
    for (const char* tone : {"", "sec", "muted", "go", "warn", "bad", "info"}) {
        auto* label = new QLabel(*tone ? tone : "pri");
        Inst::setTone(label, tone);
        tones->addWidget(label);
    }
    auto* off2 = new QLabel("disabled");
    off2->setEnabled(false);
    tones->addWidget(off2);
    tones->addStretch(1);
    grid->addLayout(tones, 3, 1, 1, 5);
    return box;
}

QTableWidget* table(const char* pulse)
{
    auto* t = new QTableWidget(3, 3);
    t->setHorizontalHeaderLabels({"CC", "PARAMETER", "CAMERA"});
    t->verticalHeader()->hide();
    t->setShowGrid(false);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    const char* const cells[3][2] = {{"7", "Iris"}, {"12", "Focus"}, {"21", "Zoom"}};
    for (int r = 0; r < 3; ++r) {
        t->setItem(r, 0, new QTableWidgetItem(cells[r][0]));
        t->setItem(r, 1, new QTableWidgetItem(cells[r][1]));
        auto* combo = new InstCombo;
        combo->addItems({"All", "Camera 1", "Camera 2"});
        combo->setInTable(true);
        t->setCellWidget(r, 2, combo);
    }
    t->horizontalHeader()->setStretchLastSection(true);
    t->selectRow(1);
    Inst::setTablePulse(t, pulse);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setColumnWidth(0, 50);
    t->setColumnWidth(1, 110);
    t->setFixedHeight(130);
    return t;
}

QWidget* viewSamples()
{
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(table(""), 3);
    row->addWidget(table("bright"), 3);
    auto* list = new QListWidget;
    list->addItems({"Stage left", "Stage right", "Drone"});
    list->setCurrentRow(1);
    list->setFixedHeight(130);
    row->addWidget(list, 2);
    auto* text = new QPlainTextEdit("02:17:46.120 INFO Connected to 3 camera(s)\n02:17:47.003 WARN OSC port 58000 busy");
    text->setFixedHeight(130);
    row->addWidget(text, 3);
    return box;
}

QWidget* frameSamples()
{
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);

    auto* plain = new InstBezel("BEZEL");
    plain->row()->addWidget(new InstToggle("Tally"));
    row->addWidget(plain);
    auto* active = new InstBezel("ACTIVE BEZEL");
    active->setActive(true);
    auto* activeValue = new InstValue(18);
    activeValue->setText("48.0 fps");
    active->row()->addWidget(activeValue);
    row->addWidget(active);
    auto* rowOnly = new InstBezel("HIDDEN");
    rowOnly->setRowOnly();
    rowOnly->row()->addWidget(new InstCheck("Row only"));
    row->addWidget(rowOnly);

    auto* screen = new InstScreen;
    auto* screenRow = new QHBoxLayout(screen);
    screenRow->setContentsMargins(12, 8, 12, 8);
    auto* tc = new InstLed(24);
    tc->setText("01:02:03:04");
    screenRow->addWidget(tc);
    row->addWidget(screen);
    row->addStretch(1);
    return box;
}

QWidget* sectionStates()
{
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    const char* titles[] = {"SECTION", "ACTIVE SECTION", "DISABLED SECTION"};
    for (int n = 0; n < 3; ++n) {
        auto* s = new InstSection(titles[n]);
        s->addHeaderWidget(new InstChip(n == 1 ? "LIVE" : "READY", n == 1 ? InstChip::Bad : InstChip::Idle));
        s->contentLayout()->addWidget(new QLabel("Content on the section face"));
        s->setActive(n == 1);
        s->setEnabled(n != 2);
        row->addWidget(s);
    }
    return box;
}

}

Gallery::Gallery(QWidget* parent)
    : QWidget(parent)
    , m_page(new QWidget)
    , m_scroll(new QScrollArea)
{
    setWindowTitle("Kovra instrument gallery");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new InstModuleHeader("KOVRA CONTROL");
    header->setInfo("instrument gallery");
    header->addNotice(new InstChip("NOTICE", InstChip::Warn));
    header->appearanceSelector()->setAppearance(Inst::appearance());
    header->appearanceSelector()->setChangeCallback([this](Inst::Appearance chosen) { showAppearance(chosen); });
    column->addWidget(header);

    auto* tabs = new InstTabs;
    column->addWidget(tabs, 1);

    auto* scroll = m_scroll;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    m_page->setObjectName("instContent");
    auto* content = new QVBoxLayout(m_page);
    content->setSpacing(10);
    content->setContentsMargins(14, 12, 14, 14);
    scroll->setWidget(m_page);
    tabs->addTab(scroll, "WIDGETS");
    tabs->addTab(new QLabel("Second page"), "SECOND");
    tabs->addTab(new QLabel("Third page"), "THIRD");

    section("SEVEN-SEGMENT LEDS", content)->contentLayout()->addWidget(ledSamples());
    section("VALUES AND READOUTS", content)->contentLayout()->addWidget(valueSamples());
    section("LAMPS, CHIPS AND STATUS", content)->contentLayout()->addWidget(lampSamples());
    section("BUTTONS", content)->contentLayout()->addWidget(buttonSamples());
    section("SWITCHES, CHECKS AND PULL-DOWNS", content)->contentLayout()->addWidget(controlSamples());
    section("FIELDS, SLIDERS, LABELS", content)->contentLayout()->addWidget(fieldSamples());
    section("TABLES AND VIEWS", content)->contentLayout()->addWidget(viewSamples());
    section("BEZELS AND SCREENS", content)->contentLayout()->addWidget(frameSamples());
    content->addWidget(sectionStates());
    content->addStretch(1);

    auto* status = new QStatusBar;
    status->setSizeGripEnabled(false);
    auto* statusChip = new InstStatus;
    statusChip->setTone(InstChip::Go);
    statusChip->setText("Connected - 3 cameras");
    status->addWidget(statusChip);
    status->addPermanentWidget(new QLabel("OSC 58000"));
    column->addWidget(status);
}

void Gallery::showAppearance(Inst::Appearance appearance)
{
    Inst::setAppearance(appearance);
    Inst::setDark(Inst::wantsDark());
    Inst::applyTo(this);
    if (auto* selector = findChild<InstAppearanceSelector*>())
        selector->setAppearance(appearance);
}

QImage Gallery::render()
{
    // The sheet's new sizes arrive as posted layout requests, so let them land before measuring.
    resize(1180, 900);
    activateWindow();
    if (auto* focused = findChild<QWidget*>("focusShowcase"))
        focused->setFocus();
    QCoreApplication::processEvents();
    resize(width(), height() - m_scroll->viewport()->height() + m_page->sizeHint().height());
    QCoreApplication::processEvents();
    return grab().toImage();
}
