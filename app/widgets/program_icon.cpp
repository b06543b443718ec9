#include "app/widgets/program_icon.h"

// The resources are compiled into a static library, whose unreferenced
// objects the linker drops: naming them here keeps them in the program.
static void RegisterProgramResources() { Q_INIT_RESOURCE(tembrel); }

namespace tembrel::app {

QIcon ProgramIcon() {
    static const bool registered = (RegisterProgramResources(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/tembrel/icon.png"));
}

}  // namespace tembrel::app
