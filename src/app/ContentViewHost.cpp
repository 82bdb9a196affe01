// What the window reads from and acts on in this computer; tests build their own Host.
#include "access/AccessAuditor.hpp"
#include "access/HelperWire.hpp"
#include "access/PrivilegedScanClient.hpp"
#include "app/ContentView.hpp"
#include "platform/HostSystem.hpp"
#include "systemdata/SystemDataRun.hpp"
#include "ui/FileViewer.hpp"

namespace quillmere {

ContentView::Host ContentView::Host::system() {
    Host host{[] { return ScannableVolume::mountedVolumes(); }, SnapshotIO::standard(),
              [] { return AccessAuditor("/", platform::homeDirectory()).isFullDiskAccessGranted(); },
              probeStartupVolume};
    host.openUrl = desktopUrlOpener();
    host.savedScan = SavedScanLocator::standard();
    host.helperService = std::make_shared<SystemctlServiceManager>(
        SystemctlServiceManager::Options{.approvalDocument = QUILLMERE_HELPER_GUIDE});
    host.helperSocket = kHelperSocketPath;
    return host;
}

} // namespace quillmere
