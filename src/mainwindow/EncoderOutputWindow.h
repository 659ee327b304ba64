#pragma once

class LSMedia;
class QPlainTextEdit;
class QWidget;

// The window that shows what the encoder said during a row's last conversion, scrolled to its
// end (where an error stands), with a Close button; Escape closes it too.
//
// Thread: main thread.
namespace EncoderOutputWindow {

// Opens the window over `owner`, centred on it; answers its text view.
QPlainTextEdit *show(QWidget *owner, const LSMedia &media);

} // namespace EncoderOutputWindow
