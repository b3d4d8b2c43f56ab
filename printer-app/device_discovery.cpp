// Device discovery without an avahi daemon.
//
// PAPPL 1.3.1 browses DNS-SD for every device list (the web interface's
// add-printer page, the Find-Devices operation, `kav-printer-app devices`)
// through an avahi client it assumes is connected. Without a D-Bus system
// bus there is no client, and avahi's browser aborts the whole process on an
// assertion; with a bus but no avahi daemon the browser fails, and PAPPL
// returns still holding its DNS-SD lock, so the next printer registration
// waits forever. The program defines PAPPL's papplDeviceList (the dynamic
// linker binds PAPPL's own calls to it too): with no avahi daemon answering,
// the list leaves DNS-SD out and says so through the caller's error
// callback; everything else PAPPL lists as before.
#include <avahi-client/client.h>
#include <avahi-common/simple-watch.h>
#include <dlfcn.h>
#include <pappl/pappl.h>

namespace {

bool AvahiDaemonAnswers() {
  AvahiSimplePoll* poll = avahi_simple_poll_new();
  if (poll == nullptr) return false;
  int error = 0;
  AvahiClient* client = avahi_client_new(
      avahi_simple_poll_get(poll), static_cast<AvahiClientFlags>(0), [](AvahiClient*, AvahiClientState, void*) {},
      nullptr, &error);
  const bool answers = client != nullptr;
  if (client != nullptr) avahi_client_free(client);
  avahi_simple_poll_free(poll);
  return answers;
}

using DeviceList = bool (*)(pappl_devtype_t, pappl_device_cb_t, void*, pappl_deverror_cb_t, void*);

}  // namespace

extern "C" bool papplDeviceList(pappl_devtype_t types, pappl_device_cb_t cb, void* data, pappl_deverror_cb_t err_cb,
                                void* err_data) {
  static const auto own = reinterpret_cast<DeviceList>(dlsym(RTLD_NEXT, "papplDeviceList"));
  if ((types & PAPPL_DEVTYPE_DNS_SD) != 0 && !AvahiDaemonAnswers()) {
    if (err_cb != nullptr) {
      err_cb(
          "No avahi daemon runs: network printers are not looked for by DNS-SD (add them by their address, e.g. "
          "socket://HOST:9100).",
          err_data);
    }
    types &= ~static_cast<pappl_devtype_t>(PAPPL_DEVTYPE_DNS_SD);
  }
  return types != 0 && own(types, cb, data, err_cb, err_data);
}
