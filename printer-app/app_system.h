// The print server of `kav-printer-app server`: where it keeps its state,
// spool and log, where it listens, and its printer driver.
#pragma once

#include <pappl/pappl.h>

namespace kav::app {

inline constexpr char kAppVersion[] = KAV_PRINTER_APP_VERSION;

// The environment variable naming the state folder when the command line
// does not (`-o state-directory=DIR`).
inline constexpr char kStateDirectoryVariable[] = "KAV_PRINTER_APP_DIR";

// The web interface's footer. Every web page fails when none is set (PAPPL
// 1.3.1), so the server always sets one.
inline constexpr char kFooterHtml[] = "KAV page printers, printed through the KAV render plug-in.";

// The drivers the server offers, as main lists them.
struct DriverList {
  int count;
  pappl_pr_driver_t* drivers;
};

// The print server the `server` sub-command runs; `context` is the DriverList.
pappl_system_t* CreateSystem(int numOptions, cups_option_t* options, void* context);

}  // namespace kav::app
