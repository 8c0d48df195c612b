#include "Platform/NotificationCenter.h"

NotificationCenter& NotificationCenter::shared() {
    static NotificationCenter* center = new NotificationCenter;
    return *center;
}
