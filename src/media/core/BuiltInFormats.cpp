#include "media/core/MediaManager.h"

namespace mellodeck {

void RegisterBuiltInFormats(TMediaManager& manager) {
    (void)manager;
}

} // namespace mellodeck
