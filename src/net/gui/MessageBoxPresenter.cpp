#include "net/gui/MessageBoxPresenter.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QtMath>

namespace {

const char *const kReturnCodeProperty = "sheetReturnCode";

// A read-only, bordered text area of the notes, wrapped to its fixed width and as high as the
// text (plus a little room), up to a limit beyond which it scrolls.
QTextEdit *createNotesArea(const QString &notes, QWidget *parent)
{
    auto *area = new QTextEdit(parent);
    area->setObjectName(QStringLiteral("notes"));
    area->setReadOnly(true);
    area->setAcceptRichText(false);
    area->setPlainText(notes);
    area->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setLineWrapMode(QTextEdit::WidgetWidth);

    const int frame = 2 * area->frameWidth();
    const int textWidth =
        MessageBoxPresenter::kNotesWidth - frame - area->verticalScrollBar()->sizeHint().width();
    area->document()->setTextWidth(textWidth);
    const int textHeight = qCeil(area->document()->size().height());
    area->setFixedSize(MessageBoxPresenter::kNotesWidth,
                       qMin(textHeight + 3 + frame, MessageBoxPresenter::kNotesMaxHeight));
    return area;
}

// Puts `widget` above the message box's buttons.
void insertAboveButtons(QMessageBox *box, QWidget *widget)
{
    auto *grid = qobject_cast<QGridLayout *>(box->layout());
    auto *buttons = box->findChild<QDialogButtonBox *>();
    if (!grid || !buttons) {
        box->layout()->addWidget(widget);
        return;
    }
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(grid->indexOf(buttons), &row, &column, &rowSpan, &columnSpan);
    grid->removeWidget(buttons);
    grid->addWidget(widget, row, 1, 1, grid->columnCount() - 1);
    grid->addWidget(buttons, row + 1, column, rowSpan, columnSpan);
}

} // namespace

MessageBoxPresenter::MessageBoxPresenter(QWidget *mainWindow)
    : m_mainWindow(mainWindow)
{}

QWidget *MessageBoxPresenter::mainWindow() const
{
    if (m_mainWindow && m_mainWindow->isVisible())
        return m_mainWindow;
    return QApplication::activeWindow();
}

bool MessageBoxPresenter::mainWindowAvailable()
{
    return mainWindow() != nullptr;
}

QMessageBox *MessageBoxPresenter::createBox(const PromptSheet &sheet, QWidget *parent)
{
    auto *box = new QMessageBox(parent);
    box->setIcon(QMessageBox::NoIcon);
    box->setWindowModality(Qt::WindowModal);
    // Titles and texts carry the store's version strings and notes: never read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(sheet.title);
    box->setInformativeText(sheet.informativeText);
    if (auto *informative = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);

    auto addButton = [box](const QString &text, QMessageBox::ButtonRole role, int code) {
        QPushButton *button = box->addButton(text, role);
        button->setProperty(kReturnCodeProperty, code);
        return button;
    };
    QPushButton *defaultButton =
        addButton(sheet.defaultButton, QMessageBox::AcceptRole, SheetDefaultReturn);
    box->setDefaultButton(defaultButton);
    QPushButton *escapeButton = defaultButton;
    if (!sheet.alternateButton.isEmpty())
        escapeButton =
            addButton(sheet.alternateButton, QMessageBox::RejectRole, SheetAlternateReturn);
    // Escape asks again later rather than declining for good.
    if (!sheet.otherButton.isEmpty())
        escapeButton = addButton(sheet.otherButton, QMessageBox::ActionRole, SheetOtherReturn);
    box->setEscapeButton(escapeButton);

    if (sheet.hasNotes)
        insertAboveButtons(box, createNotesArea(sheet.notes, box));
    return box;
}

void MessageBoxPresenter::showSheet(const PromptSheet &sheet, std::function<void(int)> done)
{
    QMessageBox *box = createBox(sheet, mainWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_visibleBox = box;
    QObject::connect(box, &QMessageBox::finished, box, [box, done = std::move(done)] {
        QAbstractButton *clicked = box->clickedButton();
        const QVariant code = clicked ? clicked->property(kReturnCodeProperty) : QVariant();
        done(code.isValid() ? code.toInt() : int(SheetOtherReturn));
    });
    box->open();
}
