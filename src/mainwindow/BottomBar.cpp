#include "mainwindow/BottomBar.h"

#include "mainwindow/SegmentedControl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

BottomBar::BottomBar(QWidget *parent)
    : QWidget(parent)
{
    setFixedHeight(kHeight);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 0, 8, 0);
    row->setSpacing(8);

    addSegments();
    row->addWidget(m_segments);

    m_status = new QLabel(this);
    m_status->setAlignment(Qt::AlignCenter);
    row->addWidget(m_status, 1);

    m_runStatus = new QLabel(this);
    m_runStatus->setObjectName(QStringLiteral("runStatus"));
    m_runStatus->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_runStatus->hide();
    row->addWidget(m_runStatus);

    m_overallBar = new QProgressBar(this);
    m_overallBar->setRange(0, 1000);
    m_overallBar->setTextVisible(false);
    m_overallBar->setFixedWidth(120);
    m_overallBar->hide();
    row->addWidget(m_overallBar);

    m_pause = new QPushButton(tr("Pause"), this);
    m_pause->setObjectName(QStringLiteral("pauseButton"));
    m_pause->setEnabled(false);
    connect(m_pause, &QPushButton::clicked, this, &BottomBar::pauseClicked);
    row->addWidget(m_pause);

    m_stop = new QPushButton(tr("Stop"), this);
    m_stop->setToolTip(tr("Stop converting"));
    m_stop->setEnabled(false);
    connect(m_stop, &QPushButton::clicked, this, &BottomBar::stopClicked);
    row->addWidget(m_stop);

    m_start = new QPushButton(tr("Start"), this);
    m_start->setDefault(true);
    connect(m_start, &QPushButton::clicked, this, &BottomBar::startClicked);
    row->addWidget(m_start);
}

void BottomBar::addSegments()
{
    QStyle *look = style();
    m_segments = new SegmentedControl(this);
    m_segments->addSegment(tr("Import"), tr("Add files or folders"),
                           look->standardIcon(QStyle::SP_DialogOpenButton));
    m_segments->addSegment(tr("Delete"), tr("Remove the selected files from the list"),
                           look->standardIcon(QStyle::SP_TrashIcon));
    m_segments->addSegment(tr("Clear"), tr("Remove every file from the list"),
                           look->standardIcon(QStyle::SP_DialogResetButton));
    m_segments->addSegment(tr("Reveal"), tr("Show the selected file in its folder"),
                           look->standardIcon(QStyle::SP_DirOpenIcon));
    connect(m_segments, &SegmentedControl::segmentClicked, this, &BottomBar::segmentClicked);
}

void BottomBar::setStatus(const QString &text)
{
    m_status->setText(text);
}

void BottomBar::setRunStatus(const QString &text)
{
    m_runStatus->setText(text);
    m_runStatus->setVisible(!text.isEmpty());
}

void BottomBar::showRunProgress(double fraction, bool visible)
{
    m_overallBar->setValue(int(fraction * 1000.0));
    m_overallBar->setVisible(visible);
}
