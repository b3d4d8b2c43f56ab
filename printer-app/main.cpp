// kav-printer-app: an IPP Everywhere print server whose one driver is the
// KAV render plug-in.
#include <iterator>

#include "app_system.h"
#include "kav_driver.h"
#include "sub_commands.h"

namespace {

pappl_pr_driver_t drivers[] = {{kav::app::kDriverName, kav::app::kDriverDescription, nullptr, nullptr}};

}  // namespace

int main(int argc, char* argv[]) {
  kav::app::DriverList list{static_cast<int>(std::size(drivers)), drivers};
  if (const auto status = kav::app::RunAppSubCommand(argc, argv, list)) return *status;
  return papplMainloop(argc, argv, kav::app::kAppVersion, kav::app::kFooterHtml, list.count, list.drivers, nullptr,
                       kav::app::KavDriverInit, nullptr, nullptr, kav::app::RefuseUnreadServerLine, nullptr, &list);
}
