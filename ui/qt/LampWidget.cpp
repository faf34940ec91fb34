#include "LampWidget.h"

#include <QColor>
#include <QPainter>

CLampWidget::CLampWidget(QWidget* parent) : QWidget(parent)
{}

void CLampWidget::Fill(ColourRef colour)
{
    m_colour = colour;
    repaint();
}

void CLampWidget::Refill()
{
    repaint();
}

void CLampWidget::paintEvent(QPaintEvent*)
{
    if (!m_colour)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), QColor(RedOf(*m_colour), GreenOf(*m_colour), BlueOf(*m_colour)));
}
