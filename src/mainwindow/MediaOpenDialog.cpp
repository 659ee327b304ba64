#include "mainwindow/MediaOpenDialog.h"

#include "Shared/GlobalFun.h"
#include "model/ConversionSettings.h"

#include <QFileInfo>

MediaOpenDialog::MediaOpenDialog(QWidget *parent)
    : QFileDialog(parent)
{
    // The desktop's own dialog cannot take files and folders in one selection.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilter(supportedFilter());
}

QString MediaOpenDialog::supportedFilter()
{
    QStringList extensions = GlobalFun::getSupportedFmts();
    if (ConversionSettings::current().convertOtherAudio)
        extensions += GlobalFun::otherAudioFmts();
    QStringList patterns;
    for (const QString &extension : extensions) {
        patterns << QStringLiteral("*.") + extension.toLower()
                 << QStringLiteral("*.") + extension.toUpper();
    }
    return tr("Audio files (%1)").arg(patterns.join(QLatin1Char(' ')));
}

void MediaOpenDialog::accept()
{
    QStringList chosen;
    for (const QString &path : selectedFiles()) {
        if (QFileInfo::exists(path))
            chosen << path;
    }
    if (chosen.isEmpty()) {
        QFileDialog::accept(); // lets the dialog complain or open a typed folder as usual
        return;
    }
    emit pathsChosen(chosen);
    QDialog::accept();
}
