#include "app/iconresources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must stand outside any namespace.
static void registerIcons() {
    Q_INIT_RESOURCE(icons);
}

void initIconResources() {
    static const bool registered = (registerIcons(), true);
    Q_UNUSED(registered);
}
