// froskctl: the command-line face of FroskManager's engines.
#include <QCoreApplication>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "common/program_version.h"

namespace {

using frosk::cli::Invocation;
using frosk::cli::Verb;

void PrintOverview() {
  std::cout << "usage: froskctl VERB [ARGS] [OPTIONS]\n\nverbs:\n";
  for (const Verb& verb : frosk::cli::Verbs()) {
    std::string name = "  " + verb.name;
    name.resize(std::max<size_t>(name.size() + 2, 16), ' ');
    std::cout << name << verb.summary << "\n";
  }
  std::cout << "\n'froskctl VERB --help' describes one verb; 'froskctl --version' names the version.\n";
}

void PrintVerbHelp(const Verb& verb) {
  std::cout << "usage: froskctl " << verb.name << (verb.usage.empty() ? "" : " ") << verb.usage << "\n\n"
            << verb.summary << "\n";
  if (!verb.details.empty()) std::cout << "\n" << verb.details << "\n";
  if (!verb.options.empty()) {
    std::cout << "\noptions:\n";
    for (const auto& option : verb.options) {
      std::string name = "  --" + option.name + (option.takesValue ? " VALUE" : "");
      name.resize(std::max<size_t>(name.size() + 2, 24), ' ');
      std::cout << name << option.help << "\n";
    }
  }
}

// Splits what follows the verb into arguments and the verb's options. Options
// may stand anywhere; "--name=value" and "--name value" both work.
int ParseInvocation(const Verb& verb, const std::vector<std::string>& words, Invocation& invocation, bool& help) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
      invocation.args.push_back(word);
      continue;
    }
    std::string name = word.substr(2);
    std::optional<std::string> value;
    if (const size_t equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "help") {
      help = true;
      continue;
    }
    const frosk::cli::OptionSpec* matched = nullptr;
    for (const auto& option : verb.options)
      if (option.name == name) matched = &option;
    if (matched == nullptr) return frosk::cli::UsageError("unknown option --" + name + " for " + verb.name);
    if (matched->takesValue && !value) {
      if (i + 1 >= words.size()) return frosk::cli::UsageError("--" + name + " needs a value");
      value = words[++i];
    }
    if (!matched->takesValue && value) return frosk::cli::UsageError("--" + name + " takes no value");
    invocation.options[name] = value.value_or("");
  }
  return frosk::cli::kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
  if (frosk::PrintVersionIfAsked("froskctl", argc, argv)) return frosk::cli::kExitDone;
  QCoreApplication app(argc, argv);
  std::vector<std::string> words(argv + 1, argv + argc);
  if (words.empty()) {
    PrintOverview();
    return frosk::cli::kExitUsage;
  }
  if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
    PrintOverview();
    return frosk::cli::kExitDone;
  }
  for (const Verb& verb : frosk::cli::Verbs()) {
    if (verb.name != words[0]) continue;
    Invocation invocation;
    bool help = false;
    const int parsed = ParseInvocation(verb, {words.begin() + 1, words.end()}, invocation, help);
    if (help) {
      PrintVerbHelp(verb);
      return frosk::cli::kExitDone;
    }
    if (parsed != frosk::cli::kExitDone) return parsed;
    return verb.run(invocation);
  }
  return frosk::cli::UsageError("unknown verb \"" + words[0] + "\"; 'froskctl --help' lists the verbs");
}
