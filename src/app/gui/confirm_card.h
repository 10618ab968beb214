// The confirmation card lives with the skins, so the sheets below the shell can show it too.
#pragma once

#include "appearance/confirm_card.h"
