#pragma once

// The helper's client for code that also uses Qt: its log has a member named `emit`, which
// Qt's keyword macro would erase, so the macro is set aside while the header is read.
#pragma push_macro("emit")
#undef emit
#include "access/PrivilegedScanClient.hpp"
#pragma pop_macro("emit")
