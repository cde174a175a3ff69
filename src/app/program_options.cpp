#include "app/program_options.h"

#include <QStringList>

namespace frosk {

const char kProgramUsage[] =
    "usage: froskmanager [--ports LIST] [--update-server HOST[:PORT]]\n"
    "  --ports LIST                 probe exactly these ports this run, e.g. COM3,ttyUSB0,/dev/pts/4;\n"
    "                               the stored settings are left as they are\n"
    "  --update-server HOST[:PORT]  ask this server whether a newer build exists\n"
    "  --version                    the program's name and version\n";

namespace {

// "--name value" and "--name=value" alike.
bool TakeValue(const QStringList& arguments, qsizetype& at, const QString& name, QString& value) {
  const QString& argument = arguments[at];
  if (argument.startsWith(name + '=')) {
    value = argument.mid(name.size() + 1);
    return true;
  }
  if (argument != name || at + 1 >= arguments.size()) return false;
  value = arguments[++at];
  return true;
}

}  // namespace

bool ParseProgramOptions(const QStringList& arguments, ProgramOptions& options, std::string& error) {
  for (qsizetype at = 1; at < arguments.size(); ++at) {
    const QString& argument = arguments[at];
    QString value;
    if (TakeValue(arguments, at, QStringLiteral("--ports"), value)) {
      options.engine.ports = SplitPortNames(value.toStdString());
    } else if (TakeValue(arguments, at, QStringLiteral("--update-server"), value)) {
      const std::optional<UpdateServer> server = ParseUpdateServer(value.toStdString());
      if (!server) {
        error = "--update-server takes HOST or HOST:PORT, not \"" + value.toStdString() + "\"";
        return false;
      }
      options.engine.updateServer = *server;
    } else if (argument == QLatin1String("--ports") || argument == QLatin1String("--update-server")) {
      error = argument.toStdString() + " needs a value";
      return false;
    } else {
      error = "unknown option \"" + argument.toStdString() + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace frosk
