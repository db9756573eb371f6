// How wqhost shows the library's windows: printed from the headless backend in the native
// build, real windows on Windows.
#pragma once

namespace wqhost {
void StartUi();
}
