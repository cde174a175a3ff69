#pragma once

#include <cstdint>

#include "cli/cli.h"

namespace frosk::cli {

// The item tree as froskctl prints it: one node per line, depth first, two
// blanks of indent per level, device text escaped.
void PrintItemTree(const uint8_t* item);

int RunDecode(const Invocation& invocation);
int RunEncode(const Invocation& invocation);
int RunPorts(const Invocation& invocation);
int RunRequest(const Invocation& invocation);
int RunScan(const Invocation& invocation);
int RunCheckUpdate(const Invocation& invocation);
int RunFlash(const Invocation& invocation);
int RunRead(const Invocation& invocation);
int RunMonitor(const Invocation& invocation);
// monitor of several ports, or of any with --textfile.
int RunFleetMonitor(const Invocation& invocation);
int RunSet(const Invocation& invocation);
int RunShow(const Invocation& invocation);
int RunSave(const Invocation& invocation);
int RunLoad(const Invocation& invocation);

}  // namespace frosk::cli
