#include "app/widgets/step_spin_button.h"

#include <QLineEdit>

namespace tembrel::app {

StepSpinButton::StepSpinButton(QWidget* parent) : QAbstractSpinBox(parent) {
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    lineEdit()->setText("0");
    connect(lineEdit(), &QLineEdit::textEdited, this, &StepSpinButton::ValueEdited);
}

void StepSpinButton::SetRange(std::int32_t lower, std::int32_t upper) {
    lower_ = lower;
    upper_ = upper < lower ? lower : upper;
}

bool StepSpinButton::SetStep(std::int32_t step) {
    if (step <= 0 || std::int64_t{step} >= std::int64_t{upper_} - lower_) return false;
    step_ = step;
    return true;
}

std::optional<std::int32_t> StepSpinButton::Value() const {
    bool ok = false;
    const qlonglong v = text().toLongLong(&ok);
    if (!ok || v < 0 || v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

void StepSpinButton::SetValue(std::int32_t value) { lineEdit()->setText(QString::number(value)); }

void StepSpinButton::stepBy(int steps) {
    if (steps == 0) return;
    // One click is one step, however far the system wants to go.
    std::int64_t v = Value().value_or(lower_);
    v += steps > 0 ? step_ : -step_;
    if (v < lower_) v = lower_;
    if (v > upper_) v = upper_;
    SetValue(static_cast<std::int32_t>(v));
    emit ValueEdited();
}

QValidator::State StepSpinButton::validate(QString& input, int&) const {
    if (input.isEmpty()) return QValidator::Intermediate;
    for (QChar c : input) {
        if (!c.isDigit() || c.unicode() > '9') return QValidator::Invalid;
    }
    bool ok = false;
    const qlonglong v = input.toLongLong(&ok);
    if (!ok || v > typedMaximum_) return QValidator::Invalid;
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled StepSpinButton::stepEnabled() const {
    if (!isEnabled() || isReadOnly()) return StepNone;
    StepEnabled e = StepNone;
    const std::int64_t v = Value().value_or(lower_);
    if (v < upper_) e |= StepUpEnabled;
    if (v > lower_) e |= StepDownEnabled;
    return e;
}

}  // namespace tembrel::app
