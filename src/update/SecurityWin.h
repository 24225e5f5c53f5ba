#pragma once
// SSPI, which the TLS sessions and the proxy sign-in both go through.
#define SECURITY_WIN32
#include <windows.h>

#include <security.h>

// SSPI's function table from secur32, which is loaded on first use, so an agent that polls
// over plain HTTP without a proxy that asks for sign-in never maps it. Null when it cannot
// be had.
PSecurityFunctionTableA SecurityFunctions();
