// The store's services for the windowed program: the real engine and pools, with the desktop's
// own way to reveal files and to open an application, its folder chooser for "Add Folder" and its
// alert for folders that cannot be added (both dialogs opened without a loop of their own).
#pragma once

#include "store/store_services.h"

namespace bramwick {

StoreServices desktopStoreServices();

// Puts the desktop's own back ends in place of the process-wide providers for the rest of the
// run: notices go to the desktop's notification service, and running applications are brought
// forward and asked to quit through the window system and the session bus (listed as before).
// Call once, after the application object is made and before the store.
void installDesktopProviders();

} // namespace bramwick
