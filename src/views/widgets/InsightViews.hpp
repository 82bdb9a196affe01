#pragma once

// The three insight screens: the largest items, everything by kind, and what has gone untouched.
#include "views/widgets/ByKindView.hpp"
#include "views/widgets/LargestItemsView.hpp"
#include "views/widgets/UntouchedView.hpp"
