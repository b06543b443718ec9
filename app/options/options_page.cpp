#include "app/options/options_page.h"

#include "app/widgets/message_box.h"
#include "app/widgets/step_spin_button.h"

namespace tembrel::app {

bool ReadNumber(StepSpinButton* edit, std::int32_t lower, std::int32_t upper, std::int32_t& value) {
    const std::optional<std::int32_t> v = edit->Value();
    if (!v) {
        ShowMessage(edit->window(), "Please enter an integer.", MessageIcon::Exclamation);
    } else if (*v < lower || *v > upper) {
        ShowMessage(edit->window(), QString("Please enter an integer between %1 and %2.").arg(lower).arg(upper),
                    MessageIcon::Exclamation);
    } else {
        value = *v;
        return true;
    }
    edit->setFocus();
    edit->selectAll();
    return false;
}

bool ReadNumber(StepSpinButton* edit, std::int32_t& value) { return ReadNumber(edit, 0, INT32_MAX, value); }

}  // namespace tembrel::app
