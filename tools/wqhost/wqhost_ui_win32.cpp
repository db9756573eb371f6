#include "wqhost_ui.h"

namespace wqhost {

// The library shows real windows; nothing to set up.
void StartUi() {}

}  // namespace wqhost
