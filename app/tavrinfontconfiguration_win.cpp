#include "app/tavrinfontconfiguration.h"

// Qt reads the system's fonts from the system itself here; there is no configuration to read.
TavrinFontConfiguration::TavrinFontConfiguration() = default;
