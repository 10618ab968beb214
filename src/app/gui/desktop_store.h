// The store's services for the windowed program: the real engine and pools, with the desktop's
// own way to reveal files and to open an application, its folder chooser for "Add Folder" and its
// alert for folders that cannot be added (both dialogs opened without a loop of their own).
#pragma once

#include "store/store_services.h"

namespace bramwick {

StoreServices desktopStoreServices();

} // namespace bramwick
