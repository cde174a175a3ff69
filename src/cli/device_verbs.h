#pragma once

#include <string>

#include "cli/cli.h"
#include "cli/device_session.h"
#include "common/folders.h"

namespace frosk::cli {

// What the verbs that talk to a device share.

// The session's options for the invocation: --yes, and the ServiceMode
// setting read from the stored settings, as the program reads it.
DeviceSession::Options SessionOptions(const Invocation& invocation);
// The data folders of froskctl.
Folders ProgramFolders();
// Opens the session's port and runs the reading sequence with the monitors
// left alone. 0, or the exit code after saying why not.
int ReadDevice(DeviceSession& session);

}  // namespace frosk::cli
