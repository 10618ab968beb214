// What the appearance tests share.
#pragma once

namespace bramwick {

// An offscreen application with the skins' style, made once for the whole test program.
void needApplication();

} // namespace bramwick
