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
  };
  return verbs;
}

}  // namespace frosk::cli
