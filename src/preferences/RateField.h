#pragma once

#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;

// An editable rate box of the settings pane with its unit beside it ("Hz", "kbit/s"). Typing
// takes digits only; when editing ends (or the range changes) an entry outside the range the
// chosen format can write is moved to the nearest end of it, and one that is no rate at all
// (from an older preferences file: not a number, not above 0) is refused, the previous stored
// value staying. Either way corrected() says so: no unusable rate is stored without a word.
// Thread: main thread.
class RateField : public QWidget
{
    Q_OBJECT

public:
    RateField(const QString &unit, const QStringList &presets, QWidget *parent = nullptr);

    QComboBox *comboBox() const { return m_box; }
    QLabel *unitLabel() const { return m_unit; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    void setText(const QString &text);
    QString text() const;
    // Whether setRange() brings the text into the new range at once or leaves a stored value as
    // it is until it is used or committed.
    enum class Correction { Now, Later };
    // Presets outside the range are hidden from the list.
    void setRange(int minimum, int maximum, Correction correction = Correction::Now);
    // The rate, brought into the range first; nothing when the box holds no rate.
    std::optional<int> value();
    // The rate a text names: a positive number, rounded; none for anything else.
    static std::optional<int> rate(const QString &text);

signals:
    // `note` tells the user which entry became which value; empty once the entry is fine.
    void corrected(const QString &note);

private:
    void correct();

    QComboBox *m_box = nullptr;
    QLabel *m_unit = nullptr;
    QStringList m_presets;
    int m_minimum = 1;
    int m_maximum = 1;
};
