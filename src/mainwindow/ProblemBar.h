#pragma once

#include <QFrame>
#include <QList>
#include <QString>
#include <QStringList>

class QLabel;
class QToolButton;

// The message above the list that names the files that cannot be converted and why: paths that
// were dropped or imported and not added (missing, another type), and added files that will fail
// (empty, unreadable, no audio stream). It collects what arrives until the user dismisses it; it
// never blocks the window. Files that were listed all the same can be taken out of the list from
// the bar; otherwise they stay and fail with their reason.
//
// Thread: main thread.
class ProblemBar : public QFrame
{
    Q_OBJECT

public:
    struct Problem
    {
        QString path;
        QString reason;
        bool listed = false; // the file is a row of the list (it will fail when converted)
    };

    // Names shown in the text; the rest are counted. The tooltip names more, with their whole
    // paths: a tooltip of thousands of lines would run off the screen and cost the window its
    // turn whenever a large batch of refusals arrives.
    static constexpr int kShownNames = 4;
    static constexpr int kTooltipNames = 40;

    explicit ProblemBar(QWidget *parent = nullptr);

    // Adds `problems` to those shown and shows the bar.
    void addProblems(const QList<Problem> &problems);
    // Hides the bar and forgets what it showed.
    void dismiss();

    QList<Problem> problems() const { return m_problems; }
    QString text() const;
    QToolButton *closeButton() const { return m_close; }
    // "Remove them from the list": shown while a problem names a listed file.
    QToolButton *removeButton() const { return m_remove; }

signals:
    // The user asked to take the listed files named here out of the list.
    void removeListedRequested(const QStringList &paths);

private:
    void refresh();

    QList<Problem> m_problems;
    QStringList m_shown; // the first kShownNames lines of the text
    QString m_tooltip;   // the first kTooltipNames problems, one a line
    QLabel *m_icon = nullptr;
    QLabel *m_text = nullptr;
    QToolButton *m_close = nullptr;
    QToolButton *m_remove = nullptr;
};
