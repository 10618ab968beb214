// What the sheets show, decided without a window: titles, sentences, counts and which buttons
// are offered and enabled. The sheets only draw what these return; the tests call them directly.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/date.h"
#include "engine/models.h"

namespace bramwick::SheetRules {

// A date as the user's locale abbreviates it, without the time ("Dec 10, 2026").
std::string abbreviatedDate(Date date);

} // namespace bramwick::SheetRules
