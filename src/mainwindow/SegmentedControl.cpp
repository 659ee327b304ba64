#include "mainwindow/SegmentedControl.h"

#include <QHBoxLayout>
#include <QToolButton>

SegmentedControl::SegmentedControl(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

int SegmentedControl::addSegment(const QString &label, const QString &toolTip, const QIcon &icon)
{
    auto *button = new QToolButton(this);
    button->setText(label);
    button->setToolTip(toolTip);
    if (!icon.isNull()) {
        button->setIcon(icon);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    button->setAutoRaise(false);
    button->setMinimumWidth(32);
    const int segment = int(m_segments.size());
    m_segments.append(button);
    layout()->addWidget(button);
    connect(button, &QToolButton::clicked, this, [this, segment] {
        m_selectedSegment = segment;
        emit segmentClicked(segment);
    });
    return segment;
}

void SegmentedControl::setSegmentEnabled(int segment, bool enabled)
{
    if (QToolButton *button = segmentButton(segment))
        button->setEnabled(enabled);
}

bool SegmentedControl::isSegmentEnabled(int segment) const
{
    const QToolButton *button = segmentButton(segment);
    return button && button->isEnabled();
}

QToolButton *SegmentedControl::segmentButton(int segment) const
{
    return segment >= 0 && segment < m_segments.size() ? m_segments.at(segment) : nullptr;
}
