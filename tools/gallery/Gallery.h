#pragma once

#include "Inst.h"

#include <QWidget>

class QScrollArea;

// Every instrument widget in each of its states, on one page.
class Gallery : public QWidget {
    Q_OBJECT

public:
    explicit Gallery(QWidget* parent = nullptr);

    void showAppearance(Inst::Appearance appearance);
    // Grows the page until nothing scrolls, then grabs it.
    QImage render();

private:
    QWidget* m_page;
    QScrollArea* m_scroll;
};
