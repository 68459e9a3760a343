#pragma once
// The device the page tests run on: the program path, a language bundle loaded as the resource
// instance and the screen layout file; and the texts of a combo box's list. User-interface thread.

#include "testdata/tempdir.h"

#include "platform/shell/resourcebundle.h"
#include "platform/types.h"

#include <string>
#include <vector>

namespace apptesting {

// Sets the program path to "\Nav\nav.exe", writes bundle to "\Windows\LangEngCE.dll" under root,
// loads it as the resource instance and copies the host's layout file to the layout's device
// path. Returns the loaded bundle; null (with a debug line, and nothing left loaded) when a file
// cannot be read, written or loaded. RemovePageDevice undoes it.
[[nodiscard]] HMODULE InstallPageDevice(testdata::TempDeviceRoot& root,
                                        const platform::ResourceBundle& bundle,
                                        const char* layoutFile);
// No resource instance, the bundle freed (module may be null), no program path.
void RemovePageDevice(HMODULE module);

// The texts of the combo box's list, in its order.
[[nodiscard]] std::vector<std::u16string> ComboBoxTexts(HWND combo);

} // namespace apptesting
