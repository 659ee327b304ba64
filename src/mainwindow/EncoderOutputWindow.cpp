#include "mainwindow/EncoderOutputWindow.h"

#include "Shared/PathText.h"
#include "model/LSMedia.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// The window's texts keep the window's translation context.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(MainWndController)
};

} // namespace

namespace EncoderOutputWindow {

QPlainTextEdit *show(QWidget *owner, const LSMedia &media)
{
    // A dialog without modality: Escape and the Close button close it, the window stays usable.
    auto *window = new QDialog(owner);
    window->setObjectName(QStringLiteral("encoderOutput"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(
        Texts::tr("Encoder output \u2014 %1").arg(PathText::lastComponent(media.filePath())));
    auto *column = new QVBoxLayout(window);

    auto *view = new QPlainTextEdit(window);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QString output = media.strEncoderOutput();
    view->setPlainText(output.isEmpty() ? Texts::tr("The encoder has not written anything.")
                                        : output);
    column->addWidget(view, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, window);
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::reject);
    column->addWidget(buttons);

    window->resize(640, 360);
    if (owner) {
        const QRect frame = owner->window()->frameGeometry();
        window->move(frame.center() - window->rect().center());
    }
    window->show();
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    view->moveCursor(QTextCursor::End);
    return view;
}

} // namespace EncoderOutputWindow
