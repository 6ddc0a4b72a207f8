#pragma once

#include <QString>
#include <QWidget>

// Seven-segment readout for numbers, painted from the tokens so it follows the appearance.
class InstLed : public QWidget {
    Q_OBJECT

public:
    enum Tone { Go = 0, Warn = 1, Bad = 2 };

    explicit InstLed(int height, QWidget* parent = nullptr);

    static bool canShow(const QString& text);

    void setText(const QString& text);
    QString text() const { return m_text; }
    void setReserve(const QString& reserve);
    QString reserve() const { return m_reserve; }
    void setTone(Tone tone);
    Tone tone() const { return m_tone; }
    void setDim(bool dim);
    bool isDim() const { return m_dim; }
    int digitHeight() const { return m_height; }

    qreal widthOf(const QString& text) const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_height;
    QString m_text;
    QString m_reserve;
    Tone m_tone = Go;
    bool m_dim = false;
};
