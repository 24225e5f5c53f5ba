#pragma once
// What tests/servers/with_servers.py tells a test program through the environment.
#include <string>

// The port in the variable, or 0 when the variable is missing.
int EnvPort(const char* name);
std::string EnvText(const char* name);
// A path of the test machine as this program must open it (Wine sees it on drive Z:).
std::string LocalPath(const std::string& hostPath);
std::string ReadFileBytes(const std::string& hostPath);
// Rewrites the news file that nginx serves and sets its time, which nginx sends as
// Last-Modified.
void WriteNewsFile(const std::string& text, long modifiedTime);
// The exact bytes of the last request the fault server received.
std::string LastFaultRequest();
// How many requests the fault server has received, and the bytes of the one numbered from 1.
int FaultRequestCount();
std::string FaultRequest(int number);
// A loopback port that nothing listens on.
int ClosedPort();
// The processor time this process has used so far.
double ProcessCpuSeconds();
