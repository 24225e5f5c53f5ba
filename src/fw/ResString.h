#pragma once
#include "CString.h"

// The one way to load a text of the string table. Windows builds read the module's
// resources; host builds read the same table compiled in.
CString LoadResString(unsigned id);
