#include "cli/monitor_printer.h"

#include <iostream>

#include "cli/cli.h"
#include "protocol/device_codes.h"
#include "protocol/keys.h"
#include "trends/monitor_csv.h"

namespace frosk::cli {

using namespace key;

namespace {

constexpr Group kMonitorGroups[] = {Group::kFroskTecMonitor, Group::kModuleVeltraMonitor};

std::string FieldName(Group group, size_t index) { return std::string(GroupContainer(group).fields[index].name); }

}  // namespace

MonitorPrinter::MonitorPrinter(DeviceEngine& engine, bool csv, std::string prefix)
    : engine_(engine), csv_(csv), prefix_(std::move(prefix)) {
  if (!csv_) return;
  std::cout << "ms,record";
  for (const Group group : kMonitorGroups)
    for (const FieldSpec& field : GroupContainer(group).fields) std::cout << "," << field.name;
  std::cout << ",status_text\n" << std::flush;
}

bool MonitorPrinter::OnRefresh(GroupMask stored, uint32_t now) {
  const Key pending = engine_.PendingKey();
  if (!firstPoll_ && engine_.Waiting() && (pending == GET_FROSKTEC_MONITOR || pending == GET_MODULE_VELTRA_MONITOR))
    firstPoll_ = engine_.SentTick();
  bool printed = false;
  for (const Group group : kMonitorGroups) {
    if ((stored & GroupBit(group)) == 0) continue;
    Print(group, now - firstPoll_.value_or(now));
    printed = true;
  }
  return printed;
}

void MonitorPrinter::Print(Group group, uint32_t ms) {
  const auto holders = engine_.Holders(group);
  const bool controller = group == Group::kFroskTecMonitor;
  const std::string status =
      controller ? std::string(StatusText(engine_.FroskTecMonitor().At(FROSKTEC_MONITOR_STATUS).GetAsInt())) : "";
  if (csv_) {
    std::cout << ms << "," << GroupContainer(group).name;
    if (!controller) std::cout << std::string(engine_.FroskTecMonitor().size(), ',');
    for (const VFroskClass& holder : holders) std::cout << "," << CsvCell(EscapeText(holder.ValueToText()));
    if (controller) std::cout << std::string(engine_.ModuleVeltraMonitor().size(), ',');
    std::cout << "," << CsvCell(status) << "\n" << std::flush;
    return;
  }
  std::cout << prefix_ << ms;
  for (size_t i = 0; i < holders.size(); ++i)
    std::cout << " " << FieldName(group, i) << "=" << EscapeText(holders[i].ValueToText());
  if (controller) std::cout << " STATUS=\"" << status << "\"";
  std::cout << "\n" << std::flush;
}

}  // namespace frosk::cli
