#pragma once

#include <QComboBox>

// A painted pull-down. Inside a table cell it shows no box until it has focus.
class InstCombo : public QComboBox {
    Q_OBJECT

public:
    explicit InstCombo(QWidget* parent = nullptr);

    void setInTable(bool inTable);
    bool isInTable() const { return m_inTable; }
    // A rounded pill with a transparent face.
    void setPill(bool pill);
    bool isPill() const { return m_pill; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_inTable = false;
    bool m_pill = false;
};
