// The status lamp: an owner-drawn square filled with one solid colour.
#ifndef TOLVANE_UI_QT_LAMPWIDGET_H
#define TOLVANE_UI_QT_LAMPWIDGET_H

#include "LampColours.h"

#include <QWidget>

#include <optional>

class CLampWidget : public QWidget {
    Q_OBJECT
public:
    explicit CLampWidget(QWidget* parent = nullptr);

    // Paints at once rather than at the next turn of the event loop: the
    // handlers that change the lamp keep the thread until they are done.
    void Fill(ColourRef colour);
    void Refill();

    std::optional<ColourRef> Colour() const { return m_colour; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Until the first scan sets it, the lamp is just dialog background.
    std::optional<ColourRef> m_colour;
};

#endif
