#include "cli/verbs.h"

namespace frosk::cli {

const std::vector<Verb>& Verbs() {
  static const std::vector<Verb> verbs = {
      {"decode", "FRAME",
       "print the item tree of a frame",
       "FRAME is the frame text, or - to read one frame from standard input (surrounding white space is\n"
       "ignored). Configuration files decode too. Exit 2 when the frame fails decoding or validation.",
       {},
       RunDecode},
      {"encode", "COMMAND [FIELD=VALUE ...]",
       "print the request frame of a command",
       "COMMAND is a command name (GET_DEVICE_IDEN) or 0x and four hex digits of a command key. A command that\n"
       "carries a record takes its fields by exact name; fields not given are zero. Values: numbers as shown\n"
       "(MODULE_BASIC_PARAMS_T_DET=230 is 230.000 K) or a choice name (AUTO, OFF, ON...); TRUE, FALSE, 1, 0;\n"
       "serials NNNNNN-NN, NNNNNN/NN or 1 to 9 digits; dates YYYY-MM-DD; text of at most 31 characters.",
       {},
       RunEncode},
      {"ports", "",
       "list the serial ports present",
       "One port name per line: on-board ports as COMn (COM1 is /dev/ttyS0), then USB adapters by device\n"
       "name. Read from sysfs without opening any port. Exit 1 when the system's list cannot be read.\n"
       "FROSK_SYSFS_ROOT names another sysfs root.",
       {},
       RunPorts},
      {"request", "PORT COMMAND [FIELD=VALUE ...]",
       "send one request and print the reply's item tree",
       "PORT is COMn (/dev/ttyS(n-1)), a name under /dev (ttyUSB0) or a path (/dev/pts/7). COMMAND and the\n"
       "fields are given as for encode, except that a command carrying a record needs every field. Prints\n"
       "the tree of the first valid frame that comes back, whatever its key. Exit 1 when the port cannot\n"
       "be opened or no reply comes within 5000 ms.",
       {},
       RunRequest},
      {"scan", "[--ports LIST]",
       "list the controllers found on the serial ports",
       "Probes each port as the program's scan does and prints one line per controller found, in port order:\n"
       "name, serial number, production date and port, separated by tabs. Without --ports it probes what the\n"
       "program would: the stored port list when UseSpecificPorts is set, else the system's ports. Exit 1 when\n"
       "nothing was found.",
       {{"ports", true, "probe exactly these ports (names separated by \",\"), whatever the settings say"}},
       RunScan},
      {"check-update", "[--update-server HOST[:PORT]]",
       "ask the update server for the newest build",
       "Prints one line: \"up to date (build B)\", \"update available: build B, version V, page URL\" or\n"
       "\"failed\", with what the server answered. Asks nothing and opens nothing. Exit 1 for \"failed\",\n"
       "which includes no answer within 10 s.",
       {{"update-server", true, "the server to ask instead of the maker's (port 80 unless given)"}},
       RunCheckUpdate},
      {"flash", "TARGET [--port PORT] [--file FILE]",
       "program firmware or a bootloader with the programming tool",
       "TARGET: 1 QUVA V2 firmware via bootloader, 2 QUVA firmware via bootloader, 3 KAZ module via QUVA,\n"
       "4 1WIRE memory via QUVA, 5 QUVA V2 bootloader via AVR ISP, 6 QUVA bootloader via AVR ISP.\n"
       "Targets 1 to 3 need the controller's --port (COM3, ttyUSB0, /dev/pts/7); 5 and 6 use the USB programmer.\n"
       "FILE defaults to the target's file in the firmware folder. Prints each status and the progress as it\n"
       "moves; exit 0 when the device is programmed, 1 with the error text when not. When the other bootloader\n"
       "variant answered, it names the target and file a retry would program.",
       {{"port", true, "the controller's serial port"},
        {"file", true, "the file to write instead of the target's default"},
        {"log", false, "print the tool's output when the run ends"}},
       RunFlash},
  };
  return verbs;
}

}  // namespace frosk::cli
