#include "app/tavrinfontconfiguration.h"

#include <fontconfig/fontconfig.h>

// Qt's own call of FcInit() later finds the configuration loaded and returns at once.
TavrinFontConfiguration::TavrinFontConfiguration()
    : m_thread([] { FcInit(); })
{}
