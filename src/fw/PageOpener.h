#pragma once
// Shows the web page at url to the user. Windows that offer pages are given one by the
// program that makes them, so how a page opens is decided in one place.
#include "CString.h"

using PageOpener = void (*)(const CString& url);
