#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class SegmentedControl;

// The bar along the window's lower edge: the list buttons (import, delete, clear, reveal), the
// status line, the run's own line and overall bar while a run goes on, and Pause (Resume while
// paused), Stop and Start. It
// only lays the controls out and reports clicks; MainWindowActions sets what is enabled.
//
// Thread: main thread.
class BottomBar : public QWidget
{
    Q_OBJECT

public:
    enum Segment { SegmentImport = 0, SegmentDelete = 1, SegmentClear = 2, SegmentReveal = 3 };

    // The bar's height, in points.
    static constexpr int kHeight = 41;

    explicit BottomBar(QWidget *parent = nullptr);

    SegmentedControl *segments() const { return m_segments; }
    QLabel *status() const { return m_status; }
    // The run's line ("3 of 10 files — 2:05 left"), then the summary of the run that ended.
    QLabel *runStatus() const { return m_runStatus; }
    QProgressBar *overallBar() const { return m_overallBar; }
    QPushButton *pauseButton() const { return m_pause; }
    QPushButton *stopButton() const { return m_stop; }
    QPushButton *startButton() const { return m_start; }

    void setStatus(const QString &text);
    void setRunStatus(const QString &text);
    // The overall bar, 0..1, shown only while `visible`.
    void showRunProgress(double fraction, bool visible);

signals:
    void segmentClicked(int segment);
    void startClicked();
    void pauseClicked();
    void stopClicked();

private:
    void addSegments();

    SegmentedControl *m_segments = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_runStatus = nullptr;
    QProgressBar *m_overallBar = nullptr;
    QPushButton *m_pause = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_start = nullptr;
};
