#include "common/NotificationHub.h"

NotificationHub& NotificationHub::shared()
{
    static NotificationHub hub;
    return hub;
}
