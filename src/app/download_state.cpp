#include "download_state.h"

namespace app {

DownloadFields& Download() {
    static DownloadFields fields;
    return fields;
}

} // namespace app
