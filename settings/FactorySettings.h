#pragma once

#include "SettingsSnapshot.h"

// Every setting as the unit leaves the factory: the editor's reset and the simulated
// processor's memory start from it.
const SettingsSnapshot &FactorySettings();
