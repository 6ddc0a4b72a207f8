#pragma once

#include "InstLed.h"

#include <QWidget>

class QLabel;

// A value field: the number on an LED, its unit beside it, words when there is no number.
class InstValue : public QWidget {
    Q_OBJECT

public:
    explicit InstValue(int ledHeight, QWidget* parent = nullptr);

    // Splits "-12 dB" into "-12" and "dB"; returns whether a number was found.
    static bool split(const QString& text, QString* number, QString* unit);

    void setText(const QString& text);
    void setReserve(const QString& reserve);
    void setTone(InstLed::Tone tone);

    InstLed* led() const { return m_led; }
    QLabel* wordsLabel() const { return m_words; }
    QLabel* unitLabel() const { return m_unit; }

private:
    InstLed* m_led;
    QLabel* m_words;
    QLabel* m_unit;
};
