#include "mainwindow/ProblemBar.h"

#include "Shared/PathText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

ProblemBar::ProblemBar(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("ProblemBar"));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(0xfd, 0xf1, 0xd6));
    colours.setColor(QPalette::WindowText, QColor(0x4a, 0x3b, 0x14));
    setPalette(colours);
    setFrameShape(QFrame::StyledPanel);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 4, 4);
    m_icon = new QLabel(this);
    m_icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16, 16));
    row->addWidget(m_icon, 0, Qt::AlignTop);
    m_text = new QLabel(this);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(m_text, 1);
    m_remove = new QToolButton(this);
    m_remove->setText(tr("Remove Them from the List"));
    m_remove->hide();
    connect(m_remove, &QToolButton::clicked, this, [this] {
        QStringList paths;
        for (const Problem &problem : std::as_const(m_problems)) {
            if (problem.listed)
                paths << problem.path;
        }
        dismiss();
        emit removeListedRequested(paths);
    });
    row->addWidget(m_remove, 0, Qt::AlignTop);
    m_close = new QToolButton(this);
    m_close->setAutoRaise(true);
    m_close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_close->setToolTip(tr("Dismiss"));
    connect(m_close, &QToolButton::clicked, this, &ProblemBar::dismiss);
    row->addWidget(m_close, 0, Qt::AlignTop);
    hide();
}

void ProblemBar::addProblems(const QList<Problem> &problems)
{
    if (problems.isEmpty())
        return;
    // Only the new problems are turned into text: a long load adds to the bar many times.
    for (const Problem &problem : problems) {
        if (m_problems.size() < kShownNames)
            m_shown << tr("%1: %2").arg(PathText::lastComponent(problem.path), problem.reason);
        if (m_problems.size() < kTooltipNames) {
            if (!m_problems.isEmpty())
                m_tooltip += QLatin1Char('\n');
            m_tooltip += tr("%1: %2").arg(problem.path, problem.reason);
        }
        m_problems.append(problem);
        if (problem.listed)
            m_remove->show();
    }
    refresh();
    show();
}

void ProblemBar::dismiss()
{
    m_problems.clear();
    m_shown.clear();
    m_tooltip.clear();
    m_remove->hide();
    hide();
}

QString ProblemBar::text() const
{
    return m_text->text();
}

void ProblemBar::refresh()
{
    const qsizetype count = m_problems.size();
    QString text = (count == 1 ? tr("1 file cannot be converted: ")
                               : tr("%1 files cannot be converted: ").arg(count)) +
                   m_shown.join(QLatin1String("; "));
    if (count > kShownNames)
        text += tr("; and %1 more").arg(count - kShownNames);
    m_text->setText(text);
    if (count > kTooltipNames)
        setToolTip(m_tooltip + QLatin1Char('\n') + tr("and %1 more").arg(count - kTooltipNames));
    else
        setToolTip(m_tooltip);
}
