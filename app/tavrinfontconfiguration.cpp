#include "app/tavrinfontconfiguration.h"

TavrinFontConfiguration::~TavrinFontConfiguration()
{
    wait();
}

void TavrinFontConfiguration::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}
