#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

// The prompt drawn over the empty file list: a dashed rounded square with a downward arrow and a
// one-line text below it, in grey on a light background, or near-white on blue while files are
// dragged over the list where they would be accepted.
//
// The drawing is laid out with the y axis growing upwards (the painter is mirrored), so the
// geometry reads the same as the design it follows. Setting a property does not redraw.
// Thread: main thread.
class JKDropInTipsView : public QWidget
{
    Q_OBJECT

public:
    explicit JKDropInTipsView(QWidget *parent = nullptr);

    void setDefaultValue();

    QString strPromot() const { return m_strPromot; }
    void setStrPromot(const QString &text) { m_strPromot = text; }
    QColor clrNorBg() const { return m_clrNorBg; }
    void setClrNorBg(const QColor &color) { m_clrNorBg = color; }
    QColor clrHlBg() const { return m_clrHlBg; }
    void setClrHlBg(const QColor &color) { m_clrHlBg = color; }
    double fArrowRectWidth() const { return m_fArrowRectWidth; }
    void setFArrowRectWidth(double side) { m_fArrowRectWidth = side; }
    double fArrowWidth() const { return m_fArrowWidth; }
    void setFArrowWidth(double width) { m_fArrowWidth = width; }
    QColor clrNorArrowFill() const { return m_clrNorArrowFill; }
    void setClrNorArrowFill(const QColor &color) { m_clrNorArrowFill = color; }
    QColor clrHlArrowFill() const { return m_clrHlArrowFill; }
    void setClrHlArrowFill(const QColor &color) { m_clrHlArrowFill = color; }
    bool bHighlighted() const { return m_bHighlighted; }
    void setBHighlighted(bool on) { m_bHighlighted = on; }

    // Draws the whole prompt into `painter`, whose device is this view's size.
    void drawPrompt(QPainter &painter) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_strPromot;
    QColor m_clrNorBg;
    QColor m_clrHlBg;
    double m_fArrowRectWidth = 0.0;
    double m_fArrowWidth = 0.0;
    QColor m_clrNorArrowFill;
    QColor m_clrHlArrowFill;
    bool m_bHighlighted = false;
};
