#pragma once

#include <QObject>

class ConversionSettings;
class OutputFormat;
class QComboBox;
class QLabel;
class QWidget;
class UserDefaults;

// The settings pane's quality mode: a menu of the modes the chosen output format offers
// (constant bit rate or LAME VBR V0 to V9 for MP3, quality 0 to 10 for Vorbis, the compression
// level for FLAC, one fixed mode for the others) and a line saying what the choice gives ("V2,
// about 190 kbit/s"). It keeps each format's level while the user switches between formats, and
// stores them all when the pane commits.
//
// Thread: main thread.
class QualityModeChoice : public QObject
{
    Q_OBJECT

public:
    // The menu and the line are made as children of `pane`.
    explicit QualityModeChoice(QWidget *pane);

    QComboBox *menu() const { return m_menu; }
    QLabel *hint() const { return m_hint; }
    // The chosen level; -1 for a mode without one (a constant or target bit rate, lossless).
    int chosenLevel() const;

    void load(const ConversionSettings &settings);
    void save(UserDefaults &store) const;
    // Fills the menu with the modes of `format`, its remembered level chosen.
    void offerModesOf(const OutputFormat &format);
    // Remembers the menu's choice for `format` and says what it gives at `bitRate` (kbit/s).
    void follow(const OutputFormat &format, double bitRate);

signals:
    // The user chose another mode.
    void modeChosen();

private:
    QComboBox *m_menu = nullptr;
    QLabel *m_hint = nullptr;
    int m_mp3Level = -1;
    int m_vorbisLevel = 6;
    int m_flacLevel = 5;
    int m_mp3VbrLevel = 2; // the VBR level MP3 returns to from the constant rate
};
