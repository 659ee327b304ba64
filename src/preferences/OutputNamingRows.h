#pragma once

#include "model/LSMedia.h"

#include <QObject>

#include <functional>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QWidget;
struct ConversionSettings;
class UserDefaults;

// The settings pane's rows for how outputs are named and for devices: the name pattern (presets
// or the user's own, empty for the input's name) with a live example built from the first row of
// the list, "Use names that work on every device", ID3v2.3 tags for MP3 and the largest embedded
// cover. Filled by load() and written back by save(), as the pane's other rows are. The controls
// belong to `pane`; the example is built again whenever the pane is shown.
// Thread: main thread.
class OutputNamingRows : public QObject
{
    Q_OBJECT

public:
    explicit OutputNamingRows(QWidget *pane);

    // Adds the rows to the pane's `grid` from `row` on; answers the next free row.
    int addTo(QGridLayout *grid, int row);

    void load(const ConversionSettings &settings);
    void save(UserDefaults &store) const;

    // The item the example names: the list's first row; without one (or without a provider) a
    // made-up tagged album track.
    using ExampleItem = std::function<LSMediaPtr()>;
    void setExampleItem(ExampleItem item);
    // Builds the example again (the list may have changed since).
    void refreshExample();

    // The pattern as the user left it ("" for the input's name).
    QString pattern() const;

    QComboBox *cmbPattern() const { return m_cmbPattern; }
    QLabel *lblExample() const { return m_lblExample; }
    QCheckBox *chkPortableNames() const { return m_chkPortableNames; }
    QCheckBox *chkId3v23() const { return m_chkId3v23; }
    QComboBox *cmbCoverSize() const { return m_cmbCoverSize; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    LSMediaPtr exampleItem() const;

    QComboBox *m_cmbPattern = nullptr;
    QLabel *m_lblExample = nullptr;
    QCheckBox *m_chkPortableNames = nullptr;
    QCheckBox *m_chkId3v23 = nullptr;
    QComboBox *m_cmbCoverSize = nullptr;
    QWidget *m_pane = nullptr;
    ExampleItem m_exampleItem;
};
