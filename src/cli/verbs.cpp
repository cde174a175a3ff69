#include "cli/verbs.h"

namespace frosk::cli {

namespace {

constexpr const char* kYesWithoutQuestion =
    "accepted as for load; this verb asks no question of its own, and a firmware update is always declined";

}  // namespace

const std::vector<Verb>& Verbs() {
  static const std::vector<Verb> verbs = {
      {"decode", "FRAME",
       "print the item tree of a frame",
       "FRAME is the frame text, or - to read one frame from standard input (surrounding white space is\n"
       "ignored). Configuration files decode too. Exit 2 when the frame fails decoding or validation, and\n"
       "when standard input holds more than a frame can (20486 characters and 64 of white space).",
       {},
       RunDecode},
      {"encode", "COMMAND [FIELD=VALUE ...]",
       "print the request frame of a command",
       "COMMAND is a command name (GET_DEVICE_IDEN) or 0x and four hex digits of a command key. A command that\n"
       "carries a record takes its fields by exact name; fields not given are zero. Values: numbers as shown\n"
       "(MODULE_BASIC_PARAMS_T_DET=230 is 230.000 K) or a choice name (AUTO, OFF, ON...); TRUE, FALSE, 1, 0;\n"
       "serials NNNNNN-NN, NNNNNN/NN or 1 to 9 digits; dates YYYY-MM-DD; text of at most 31 characters.\n"
       "A number outside its field's limits (or its type's range) is refused, with exit 2.",
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
       "be opened or no reply comes within 5000 ms. Ctrl+C ends it at once (exit 130).",
       {},
       RunRequest},
      {"scan", "[--ports LIST]",
       "list the controllers found on the serial ports",
       "Probes each port as the program's scan does and prints one line per controller found, in port order:\n"
       "name, serial number, production date and port, separated by tabs. Without --ports it probes what the\n"
       "program would: the stored port list when UseSpecificPorts is set, else the system's ports. Exit 1 when\n"
       "nothing was found. Ctrl+C ends it at once (exit 130).",
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
       "variant answered, it names the target and file a retry would program.\n"
       "The tool is looked for before anything is sent (utils/ beside froskctl, then the PATH for avrdude).\n"
       "While it runs, the port is held: other FroskManager clients find it in use. A tool that prints\n"
       "nothing for 60 s once writing has begun is stopped. SIGINT and SIGTERM stop the tool with froskctl\n"
       "(exit 130 and 143).",
       {{"port", true, "the controller's serial port"},
        {"file", true, "the file to write instead of the target's default"},
        {"log", false, "print the tool's output when the run ends"}},
       RunFlash},
      {"read", "PORT",
       "read everything a controller and its module hold",
       "Runs the device window's reading sequence on PORT and prints one GROUP.FIELD=VALUE line per field of\n"
       "every group the sequence filled, in reading order (ServiceMode, DeviceIden, FroskTecConfig, ...).\n"
       "Values are shown without their unit. The module firmware check may ask a question: on a terminal it\n"
       "is asked, otherwise it is answered No. A firmware update it offers is always declined, with a line\n"
       "naming the versions and the froskctl flash command that makes the update. Exit 1 when the port\n"
       "cannot be opened, a reply does not come within 5000 ms, or the module check closes the device.\n"
       "Ctrl+C ends it at once (exit 130).",
       {{"json", false, "print {GROUP: {FIELD: \"VALUE\"}} instead"},
        {"yes", false, kYesWithoutQuestion}},
       RunRead},
      {"monitor", "PORT...",
       "poll the monitors as the user view does",
       "Reads the device as read does, without printing, then polls the monitors with both Auto boxes\n"
       "checked: with a VELTRA module the controller's and the module's monitor in turn, else the\n"
       "controller's. After each reply one line: the milliseconds since the first poll, the reply's\n"
       "FIELD=VALUE pairs and, for the controller's monitor, STATUS=\"status text\". A device that stops\n"
       "answering is polled on: \"PORT: not answering since HH:MM:SS\" and \"PORT: answering again\" on\n"
       "standard error say so once each. Ends after --count replies, after --duration seconds, with\n"
       "success at Ctrl+C (SIGINT or SIGTERM), also while it reads the device, or with 1 at\n"
       "\"PORT: connection lost\".\n"
       "--output records the replies into FILE as the program's Record button does: CSV with the time\n"
       "of day and the milliseconds since the recording started, each row written as it comes, so an\n"
       "interrupted run keeps every row before it. An existing FILE is refused (exit 2) unless --append\n"
       "is given, which adds rows when FILE holds the same columns and refuses otherwise. A file that\n"
       "takes no more (a full disk) ends the run with exit 1.\n"
       "Several PORTs are watched at once, each line behind \"PORT: \"; link health goes to standard\n"
       "error, one line per change, and the run ends with exit 1 once the last port is lost.\n"
       "--textfile keeps DIR/froskctl-STATION.prom for node-exporter's textfile collector instead of\n"
       "printing: the controllers' metrics labelled by serial, port, name and station, replaced as a\n"
       "whole at most once a second. A controller that stops answering keeps its series with frosk_up\n"
       "0; a lost port is opened again every 5 seconds. SIGINT or SIGTERM writes frosk_up 0 for all and\n"
       "ends with 0. A second froskctl for the same station and DIR, or a DIR that takes no files, is\n"
       "refused (exit 1).",
       {{"count", true, "end after N replies"},
        {"duration", true, "end after SECONDS"},
        {"output", true, "record the replies into FILE (one PORT only)"},
        {"append", false, "add to an existing --output FILE with the same columns"},
        {"csv", false, "one header line, then one row per reply with empty cells for the other record"},
        {"textfile", true, "keep the station's metrics in DIR/froskctl-STATION.prom"},
        {"station", true, "the station's NAME in the file name and labels (default: the host name)"},
        {"yes", false, kYesWithoutQuestion}},
       RunMonitor},
      {"set", "PORT FIELD=VALUE ...",
       "change the user settings as the user view does",
       "Reads the device, then sets each field of the user settings: MODULE_BASIC_PARAMS_... fields of the\n"
       "controller's settings and MODULE_VELTRA_PARAMS_... fields of a VELTRA module. Values are given as\n"
       "for encode and kept within the user minimum and maximum, or within the field's own limits while the\n"
       "controller is in service mode; a value that had to be changed is reported on standard error. Then\n"
       "sends the whole settings record(s) as the Write buttons do and prints the groups the device\n"
       "answered, as read does. Exit 2 for another field or a value that does not parse; exit 1 when the\n"
       "module the fields belong to is not there or a reply does not come. Ctrl+C while a record is on its\n"
       "way lets it be answered and sends no other: the answered groups are printed, exit 130.",
       {{"json", false, "print the answered groups as read --json does"},
        {"yes", false, kYesWithoutQuestion}},
       RunSet},
      {"show", "FILE",
       "print the item tree and the content of a configuration file",
       "Prints the file's item tree as decode does, then a last line mask=0x and eight upper-case hex digits:\n"
       "the records and signatures the file holds, by their content bits (0x00000001 SET_DEVICE_IDEN ...\n"
       "0x00008000 SET_MODULE_VELTRA_USER_MAX, 0x40000000 DEVICE_CHECK, 0x80000000 MODULE_CHECK). The file\n"
       "must be exactly one frame, as the program writes it. Exit 2 when it cannot be read or fails decoding\n"
       "or validation.",
       {},
       RunShow},
      {"save", "PORT FILE",
       "save a device's configuration to a file as \"Save Configuration to File...\" does",
       "Reads the device as read does, then writes what the connected devices support to FILE, signed with the\n"
       "serial numbers of the controller and its module: identification and configuration, the NOMEM records\n"
       "when the controller is NOMEM compatible, the module records with a 1WIRE or VELTRA module, the VELTRA\n"
       "records with a VELTRA module. An existing FILE is replaced in one step; a read-only one is left alone.\n"
       "Silent on success. Exit 1 with \"Confiuration write failed !\" when the file cannot be written.\n"
       "Ctrl+C before the file is written leaves the earlier file as it was (exit 130).",
       {{"yes", false, kYesWithoutQuestion}},
       RunSave},
      {"load", "PORT FILE",
       "load a configuration file into a device as \"Load Configuration from File...\" does",
       "Reads the device as read does, then checks FILE's signatures against the controller's and the module's\n"
       "serial numbers and the module connected, with the program's messages, and every value against its\n"
       "field's range and the user limits the device will hold after the write, naming each value outside them.\n"
       "Then asks whether to send (on a terminal; otherwise the answer is Cancel unless --yes is given) and\n"
       "sends the file's records one by one, printing each as it goes out: \"record 3 of 11: SET_MODULE_IDEN\".\n"
       "Ends when the last one is answered, without waiting for the device to be read again. A reply that does\n"
       "not come stops the load: the message names the records written, the one without reply and those not\n"
       "sent, then service mode is switched off and whether the device answered is said. Exit 1 when the\n"
       "file is refused, the question cancelled or a reply does not come; exit 2 for \"File integrity error !\".\n"
       "Ctrl+C while a record is on its way lets it be answered and sends no other, then says how many were\n"
       "written (exit 130).",
       {{"yes", false, "answer OK to the question whether to send; a firmware update is always declined"}},
       RunLoad},
  };
  return verbs;
}

}  // namespace frosk::cli
