// The store's services for the windowed program: the real engine and pools, with the desktop's
// own way to reveal files and to open an application. The windows add their folder chooser and
// their alert (both without a modal loop) before they make the store.
#pragma once

#include "store/store_services.h"

namespace bramwick {

StoreServices desktopStoreServices();

} // namespace bramwick
