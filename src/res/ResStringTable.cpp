#include "ResString.h"

#include "contract.h"
#include "resource.h"
#include "site.h"

CString LoadResString(unsigned id) {
    switch (id) {
#define ZV_STRING(id, text)                                                                        \
    case id:                                                                                       \
        return CString(text);
#include "strings.inc"
#undef ZV_STRING
    default:
        return CString();
    }
}
