#pragma once

#include <QColor>
#include <QWidget>

class QHBoxLayout;

// A round status lamp.
class InstDot : public QWidget {
    Q_OBJECT

public:
    explicit InstDot(int diameter, QWidget* parent = nullptr);

    void setColor(const QColor& colour);
    // The set colour, or the go colour of the current appearance while none is set.
    QColor color() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour;
};

// A pill label in a tone colour.
class InstChip : public QWidget {
    Q_OBJECT

public:
    enum Tone : int { Go = 0, Info = 1, Warn = 2, Bad = 3, Idle = 4 };

    InstChip(const QString& text, Tone tone, QWidget* parent = nullptr);

    static QColor toneColor(Tone tone);

    void setText(const QString& text);
    QString text() const { return m_text; }
    void setTone(Tone tone);
    Tone tone() const { return m_tone; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    Tone m_tone;
};

// A main chip and a detail chip fed from one "main - detail" text.
class InstStatus : public QWidget {
    Q_OBJECT

public:
    explicit InstStatus(QWidget* parent = nullptr);

    void setText(const QString& text);
    void setTone(InstChip::Tone tone);
    void setDetailTone(InstChip::Tone tone);

    InstChip* mainChip() const { return m_main; }
    InstChip* detailChip() const { return m_detail; }

private:
    InstChip* m_main;
    InstChip* m_detail;
};
