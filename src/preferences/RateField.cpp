#include "preferences/RateField.h"

#include "Shared/LenientNumber.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <cmath>

RateField::RateField(const QString &unit, const QStringList &presets, QWidget *parent)
    : QWidget(parent)
    , m_presets(presets)
{
    m_box = new QComboBox(this);
    m_box->setEditable(true);
    m_box->setInsertPolicy(QComboBox::NoInsert);
    // Digits only, at most six of them; the range is checked when editing ends, so that a
    // number can be typed digit by digit.
    m_box->lineEdit()->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), m_box));
    m_unit = new QLabel(unit, this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_box);
    layout->addWidget(m_unit);
    connect(m_box->lineEdit(), &QLineEdit::editingFinished, this, &RateField::correct);
    connect(m_box, &QComboBox::activated, this, &RateField::correct);
    setRange(1, 999999);
}

void RateField::setText(const QString &text)
{
    m_box->setEditText(text);
}

QString RateField::text() const
{
    return m_box->currentText();
}

void RateField::setRange(int minimum, int maximum, Correction correction)
{
    m_minimum = minimum;
    m_maximum = maximum;
    const QString text = m_box->currentText();
    m_box->clear();
    for (const QString &preset : m_presets) {
        const int rate = preset.toInt();
        if (rate >= minimum && rate <= maximum)
            m_box->addItem(preset);
    }
    m_box->setEditText(text);
    if (correction == Correction::Now)
        correct();
}

std::optional<int> RateField::value()
{
    correct();
    return rate(m_box->currentText());
}

std::optional<int> RateField::rate(const QString &text)
{
    const double value = LenientNumber::toDouble(QStringView(text));
    if (!std::isfinite(value) || value <= 0 || value > 1e9)
        return std::nullopt;
    return int(std::lround(value));
}

void RateField::correct()
{
    const QString text = m_box->currentText().trimmed();
    if (text.isEmpty()) {
        emit corrected(QString());
        return;
    }
    const std::optional<int> entered = rate(text);
    if (!entered) {
        emit corrected(tr("\"%1\" is not a rate; the previous one stays.").arg(text));
        return;
    }
    const int bounded = qBound(m_minimum, *entered, m_maximum);
    m_box->setEditText(QString::number(bounded));
    if (bounded == *entered) {
        emit corrected(QString());
        return;
    }
    emit corrected(tr("%1 %2 is outside %3 to %4 %2; using %5 %2.")
                       .arg(text, m_unit->text(), QString::number(m_minimum),
                            QString::number(m_maximum), QString::number(bounded)));
}
