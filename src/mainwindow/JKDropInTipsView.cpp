#include "mainwindow/JKDropInTipsView.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

QColor deviceRgb(int red, int green, int blue)
{
    return QColor::fromRgbF(float(red) / 255.0f, float(green) / 255.0f, float(blue) / 255.0f);
}

} // namespace

JKDropInTipsView::JKDropInTipsView(QWidget *parent)
    : QWidget(parent)
{
    setDefaultValue();
}

void JKDropInTipsView::setDefaultValue()
{
    m_clrNorBg = deviceRgb(236, 237, 235);
    m_clrHlBg = deviceRgb(117, 187, 231);
    m_fArrowRectWidth = 100.0;
    m_fArrowWidth = 50.0;
    m_clrNorArrowFill = deviceRgb(162, 164, 166);
    m_clrHlArrowFill = deviceRgb(247, 249, 251);
    m_bHighlighted = false;
}

void JKDropInTipsView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawPrompt(painter);
}

void JKDropInTipsView::drawPrompt(QPainter &painter) const
{
    const QRectF bounds(QPointF(0.0, 0.0), QSizeF(size()));
    const double maxX = bounds.right();
    const double maxY = bounds.bottom();
    const double side = m_fArrowRectWidth;
    const double head = m_fArrowWidth;
    const QColor background = m_bHighlighted ? m_clrHlBg : m_clrNorBg;
    const QColor foreground = m_bHighlighted ? m_clrHlArrowFill : m_clrNorArrowFill;

    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.fillRect(bounds, background);

    // Mirror the y axis: from here on y grows upwards from the bottom edge.
    painter.save();
    painter.translate(0.0, maxY);
    painter.scale(1.0, -1.0);

    const double ox = (maxX - side) * 0.5;
    const double oy = (maxY - side) * 0.5;

    painter.save();
    QPen dashed(foreground, 4.0, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    // Qt measures dashes in pen widths: 22 on and 12 off.
    dashed.setDashPattern({22.0 / 4.0, 12.0 / 4.0});
    dashed.setDashOffset(0.0);
    painter.setPen(dashed);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(ox, oy, side, side), 20.0, 20.0);
    painter.restore();

    const double m = (side - head) * 0.5;
    const double s = (head - 18.0) * 0.5;
    const QPolygonF arrow{
        QPointF(ox + m, maxY - oy - m - head / 2.0),
        QPointF(ox + m + head / 2.0, oy + m),
        QPointF(maxX - ox - m, oy + m + head / 2.0),
        QPointF(maxX - ox - m - s, oy + m + head / 2.0),
        QPointF(maxX - ox - m - s, maxY - oy - m),
        QPointF(ox + m + s, maxY - oy - m),
        QPointF(ox + m + s, oy + m + head / 2.0),
    };
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(foreground);
    painter.drawPolygon(arrow);
    painter.restore();
    painter.restore(); // back to the widget's own axes for the text, which must not be mirrored

    if (m_strPromot.isEmpty())
        return;
    painter.save();
    QFont font = QApplication::font();
    font.setPixelSize(18);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const double textWidth = metrics.horizontalAdvance(m_strPromot);
    const double textHeight = metrics.height();
    // The text's top lies 20 points below the square's lower edge (at y = oy, counted upwards).
    const QRectF textRect((maxX - textWidth) * 0.5, maxY - oy + 20.0, maxX, textHeight);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    painter.setPen(Qt::white); // the shadow, one point left of and below the text
    painter.drawText(textRect.translated(-1.0, 1.0), flags, m_strPromot);
    painter.setPen(foreground);
    painter.drawText(textRect, flags, m_strPromot);
    painter.restore();
}
