#pragma once

#include <QList>
#include <QWidget>

class QToolButton;

// A row of joined push buttons ("segments") that act like one control: clicking a segment
// selects it and reports it. Each segment can be enabled or disabled on its own.
// Thread: main thread.
class SegmentedControl : public QWidget
{
    Q_OBJECT

public:
    explicit SegmentedControl(QWidget *parent = nullptr);

    // Appends a segment; answers its index.
    int addSegment(const QString &label, const QString &toolTip, const QIcon &icon = QIcon());

    int segmentCount() const { return int(m_segments.size()); }
    void setSegmentEnabled(int segment, bool enabled);
    bool isSegmentEnabled(int segment) const;
    // The segment clicked last, or -1.
    int selectedSegment() const { return m_selectedSegment; }
    void setSelectedSegment(int segment) { m_selectedSegment = segment; }
    QToolButton *segmentButton(int segment) const;

signals:
    void segmentClicked(int segment);

private:
    QList<QToolButton *> m_segments;
    int m_selectedSegment = -1;
};
