#pragma once

#include <QFileDialog>
#include <QStringList>

// The open panel of the main window: several files and folders at once, files limited to the
// supported extensions. Choosing a folder and confirming takes the folder itself (a double click
// still opens it).
// Thread: main thread.
class MediaOpenDialog : public QFileDialog
{
    Q_OBJECT

public:
    explicit MediaOpenDialog(QWidget *parent = nullptr);

    // The name filter of the supported extensions, both cases: "Audio files (*.flac *.FLAC ...)".
    static QString supportedFilter();

signals:
    // The user confirmed these existing files and folders.
    void pathsChosen(const QStringList &paths);

public slots:
    void accept() override;
};
