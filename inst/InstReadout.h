#pragma once

#include "InstLed.h"

#include <QWidget>

class QHBoxLayout;
class QLabel;

// One captioned readout: an LED for what it can show, words for the rest, and a unit.
class InstReadout : public QWidget {
    Q_OBJECT

public:
    explicit InstReadout(const QString& label, QWidget* parent = nullptr, int ledHeight = 26);

    void setValue(const QString& value, const QString& unit = QString());
    void setIdle(const QString& text);
    void setWordsTone(const char* tone);
    // Readouts in a bar draw a divider towards their right-hand neighbour.
    void setDivider(bool divider);

    InstLed* led() const { return m_led; }
    QLabel* wordsLabel() const { return m_words; }
    QLabel* unitLabel() const { return m_unit; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    InstLed* m_led;
    QLabel* m_words;
    QLabel* m_unit;
    bool m_divider = true;
};

// A recessed well holding readouts side by side.
class InstReadoutBar : public QWidget {
    Q_OBJECT

public:
    explicit InstReadoutBar(QWidget* parent = nullptr);

    InstReadout* addReadout(const QString& label, int stretch = 1);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QHBoxLayout* m_row;
    InstReadout* m_last = nullptr;
};
