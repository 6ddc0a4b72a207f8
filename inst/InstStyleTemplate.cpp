#include "InstStyleTemplate.h"

namespace Inst {

QString styleTemplate()
{
    return QStringLiteral(R"qss(
/* Labels: the tone property picks the colour. */
QLabel { color: %pri%; background: transparent; }
QLabel[tone="sec"] { color: %sec%; }
QLabel[tone="muted"] { color: %mut%; }
QLabel[tone="go"] { color: %led%; }
QLabel[tone="warn"] { color: %amber%; }
QLabel[tone="bad"] { color: %red%; }
QLabel[tone="info"] { color: %accent%; }
QLabel:disabled { color: %mut%; }

/* Entry fields. */
QLineEdit, QAbstractSpinBox {
    background: %canvas%; color: %pri%;
    border: 1px solid %bezel%; border-radius: 4px;
    padding: 3px 8px; min-height: 20px;
    selection-background-color: %accent%; selection-color: %panel%;
}
QLineEdit:focus, QAbstractSpinBox:focus { border-color: %accent%; }
QLineEdit:disabled, QAbstractSpinBox:disabled { color: %mut%; }
QAbstractSpinBox::up-button, QAbstractSpinBox::down-button {
    subcontrol-origin: border; width: 16px;
    background: transparent; border: none; border-left: 1px solid %bezel%;
}
QAbstractSpinBox::up-button { subcontrol-position: top right; }
QAbstractSpinBox::down-button { subcontrol-position: bottom right; }
QAbstractSpinBox::up-arrow { image: url(:/inst/arrows/up-%mode%.png); width: 8px; height: 5px; }
QAbstractSpinBox::down-arrow { image: url(:/inst/arrows/down-%mode%.png); width: 8px; height: 5px; }
QDateEdit::drop-down {
    subcontrol-origin: border; subcontrol-position: top right; width: 18px;
    border: none; border-left: 1px solid %bezel%;
}
QDateEdit::down-arrow { image: url(:/inst/arrows/down-%mode%.png); width: 8px; height: 5px; }

/* Buttons. */
QPushButton {
    background: %section%; color: %pri%;
    border: 1px solid %bezel%; border-radius: 4px; padding: 4px 11px;
}
QPushButton:hover { border-color: %sec%; }
QPushButton:pressed { background: %bezel%; }
QPushButton:disabled { color: %mut%; }
QPushButton[inst="go"] {
    color: %led%; background: %led14%; border: 1px solid %led50%;
    border-radius: 5px; padding: 5px 14px;
}
QPushButton[inst="go"]:hover { background: %led22%; }
QPushButton[inst="go"]:pressed { background: %led30%; }
QPushButton[inst="primary"] {
    color: %accent%; background: %acc14%; border: 1px solid %acc50%;
    border-radius: 5px; padding: 6px 14px;
}
QPushButton[inst="primary"]:hover { background: %acc22%; }
QPushButton[inst="primary"]:pressed { background: %acc30%; }
QPushButton[inst="alarm"] {
    color: %red%; background: %red14%; border: 1px solid %red50%;
    border-radius: 5px; padding: 6px 14px;
}
QPushButton[inst="alarm"]:hover { background: %red22%; }
QPushButton[inst="alarm"]:pressed { background: %red30%; }
QPushButton[inst="go"]:disabled, QPushButton[inst="primary"]:disabled, QPushButton[inst="alarm"]:disabled {
    color: %mut%; background: transparent; border-color: %bezel%;
}
QPushButton[instSize="small"] { padding: 3px 12px; }
QPushButton[instState="alarm"] { color: %red%; background: %red14%; border: 1px solid %red50%; }
QPushButton[instState="alarm"]:hover { background: %red22%; }
QPushButton[inst="seg"] {
    color: %sec%; background: %section%; border: 1px solid %bezel%;
    border-radius: 5px; padding: 5px 10px;
}
QPushButton[inst="seg"]:hover { border-color: %sec%; }
QPushButton[inst="seg"]:checked { color: %panel%; background: %accent%; border-color: %accent%; }
QPushButton[inst="seg"]:disabled { color: %mut%; }
QPushButton[inst="tab"] {
    color: %sec%; background: transparent; border: none;
    border-radius: 11px; padding: 4px 14px;
}
QPushButton[inst="tab"]:hover { color: %pri%; }
QPushButton[inst="tab"]:checked { color: %panel%; background: %accent%; }
QPushButton[inst="help"] {
    color: %sec%; background: %section%; border: 1px solid %bezel%;
    border-radius: 10px; padding: 0px;
}

/* Tables: hairline rules between rows, a tinted selection that may pulse. */
QTableView {
    background: transparent; border: none; outline: 0;
    gridline-color: transparent; selection-background-color: transparent;
}
QTableView::item { border-top: 1px solid %grid%; padding-right: 10px; }
QTableView::item:selected { background: %acc14%; color: %pri%; }
QTableView[pulse="bright"]::item:selected { background: %amber40%; }
QTableView[pulse="dim"]::item:selected { background: %amber16%; }
QTableView QLineEdit, QTableView QAbstractSpinBox {
    background: transparent; border: 1px solid transparent;
    border-radius: 3px; padding: 2px 6px;
}
QTableView QLineEdit:focus, QTableView QAbstractSpinBox:focus { background: %canvas%; border-color: %accent%; }
QHeaderView { background: transparent; }
QHeaderView::section { background: transparent; color: %mut%; border: none; padding: 0px 10px 5px 5px; }
QTableCornerButton::section { background: transparent; border: none; }

/* Text and list views. QListView is left out so a pull-down's popup keeps its own rule. */
QTextEdit, QPlainTextEdit, QListWidget {
    background: %canvas%; color: %screen%;
    border: 1px solid %grid%; border-radius: 6px; padding: 4px;
    selection-background-color: %accent%; selection-color: %panel%;
}
QListWidget::item { padding: 3px 6px; border-radius: 3px; }
QListWidget::item:selected { background: %acc14%; color: %pri%; }
QListWidget::item:disabled { color: %mut%; }

/* Sliders. */
QSlider:horizontal { min-height: 18px; }
QSlider::groove:horizontal { height: 4px; background: %bezel%; border-radius: 2px; }
QSlider::sub-page:horizontal { background: %accent%; border-radius: 2px; }
QSlider::add-page:horizontal { background: %bezel%; border-radius: 2px; }
QSlider::handle:horizontal {
    width: 10px; height: 10px; margin: -5px 0px; border-radius: 7px;
    background: %accent%; border: 2px solid %panel%;
}
QSlider[tint="red"]::sub-page:horizontal, QSlider[tint="red"]::handle:horizontal { background: %red%; }
QSlider[tint="green"]::sub-page:horizontal, QSlider[tint="green"]::handle:horizontal { background: %led%; }
QSlider[tint="luma"]::sub-page:horizontal, QSlider[tint="luma"]::handle:horizontal { background: %pri%; }
QSlider::sub-page:horizontal:disabled, QSlider::handle:horizontal:disabled { background: %mut%; }

/* Progress. */
QProgressBar {
    background: %canvas%; color: %pri%; border: 1px solid %bezel%; border-radius: 4px;
    text-align: center; min-height: 16px; max-height: 16px;
}
QProgressBar::chunk { background: %acc50%; border-radius: 3px; }

/* Status line. */
QStatusBar { background: %deck%; color: %mut%; border-top: 1px solid %bezel%; }
QStatusBar::item { border: none; }
QStatusBar QLabel { padding: 1px 10px; }

/* Pages, section bodies and scroll bars. */
QScrollArea { background: transparent; border: none; }
QWidget#instContent { background: %panel%; }
QWidget#instSectionContent {
    background: %section%;
    border-bottom-left-radius: 5px; border-bottom-right-radius: 5px;
}
QScrollBar:vertical { background: transparent; width: 10px; margin: 0px; }
QScrollBar:horizontal { background: transparent; height: 10px; margin: 0px; }
QScrollBar::handle { background: %bezel%; border-radius: 3px; margin: 2px; }
QScrollBar::handle:vertical { min-height: 28px; }
QScrollBar::handle:horizontal { min-width: 28px; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0px; height: 0px; border: none; background: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }

/* Pull-downs open a list under the box, not the platform menu. */
QComboBox { combobox-popup: 0; }
QComboBox QAbstractItemView {
    background: %section%; color: %pri%; border: 1px solid %bezel%; outline: 0;
    selection-background-color: %accent%; selection-color: %panel%;
}
)qss");
}

}
