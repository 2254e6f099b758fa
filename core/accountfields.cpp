#include "core/accountfields.h"

#include "core/blank.h"

bool AccountFields::isComplete(bool withPassword) const {
    return !isBlank(host) && !isBlank(port) && !isBlank(user) && (!withPassword || !isBlank(password));
}
