#include "ui/qt/ProgramIcon.h"

// Outside any namespace: the resource initialiser is a global function.
static void InitProgramResources() { Q_INIT_RESOURCE(quorvel); }

QIcon ProgramIcon() {
    static const bool initialised = (InitProgramResources(), true);
    (void)initialised;
    return QIcon(QStringLiteral(":/quorvel/quorvel.png"));
}
