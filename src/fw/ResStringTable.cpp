#include "fw/ResString.h"

#include "res/contract.h"
#include "res/resource.h"
#include "site.h"

CString LoadResString(unsigned id) {
    switch (id) {
#define ZV_STRING(id, text)                                                                        \
    case id:                                                                                       \
        return CString(text);
#include "res/strings.inc"
#undef ZV_STRING
    default:
        return CString();
    }
}
