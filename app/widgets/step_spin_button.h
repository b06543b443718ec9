#pragma once
// A number edit with up and down arrows. The edit takes digits only; the
// arrows move the number by exactly one step within the range, whatever
// the number was. A typed number may lie outside the range (up to the typed
// maximum), so that the page can refuse it with its own message.
#include <cstdint>
#include <optional>

#include <QAbstractSpinBox>

namespace tembrel::app {

class StepSpinButton : public QAbstractSpinBox {
    Q_OBJECT

public:
    explicit StepSpinButton(QWidget* parent = nullptr);

    void SetRange(std::int32_t lower, std::int32_t upper);
    std::int32_t Lower() const { return lower_; }
    std::int32_t Upper() const { return upper_; }
    // Takes the step only when it is smaller than upper − lower; false when
    // the step stays as it was.
    bool SetStep(std::int32_t step);
    std::int32_t Step() const { return step_; }
    // The largest number that can be typed (INT32_MAX unless set).
    void SetTypedMaximum(std::int32_t maximum) { typedMaximum_ = maximum; }

    // The number in the edit; nothing when it is empty.
    std::optional<std::int32_t> Value() const;
    void SetValue(std::int32_t value);

    void stepBy(int steps) override;

signals:
    void ValueEdited();

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    StepEnabled stepEnabled() const override;

private:
    std::int32_t lower_ = 0;
    std::int32_t upper_ = 100;
    std::int32_t step_ = 1;
    std::int32_t typedMaximum_ = INT32_MAX;
};

}  // namespace tembrel::app
