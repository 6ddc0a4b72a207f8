#pragma once

#include <QCheckBox>

// A sliding on/off switch.
class InstToggle : public QCheckBox {
    Q_OBJECT

public:
    explicit InstToggle(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

// A small painted check box.
class InstCheck : public QCheckBox {
    Q_OBJECT

public:
    explicit InstCheck(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

// A check box row whose name and value columns line up with its neighbours'.
class InstCheckRow : public QCheckBox {
    Q_OBJECT

public:
    InstCheckRow(const QString& name, const QString& value, const QString& detail, QWidget* parent = nullptr);

    void setColumns(int nameWidth, int valueWidth);
    int nameWidth() const { return m_nameWidth; }
    int valueWidth() const { return m_valueWidth; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QString m_name;
    QString m_value;
    QString m_detail;
    int m_nameWidth;
    int m_valueWidth;
};
