#ifndef TAVRINFONTCONFIGURATION_H
#define TAVRINFONTCONFIGURATION_H

#include <thread>

// The system's font configuration, read on a thread of its own from the very start of the
// program. Where the fonts come through fontconfig (Unix), reading its configuration files is
// the slow part of the first use of fonts, and it needs neither the application object nor
// anything else of Qt: it is done while the application object is made. Elsewhere there is
// nothing to read and no thread.
class TavrinFontConfiguration
{
public:
    TavrinFontConfiguration();
    ~TavrinFontConfiguration();

    // Returns once the configuration has been read. One thread waits at a time.
    void wait();

private:
    std::thread m_thread;
};

#endif // TAVRINFONTCONFIGURATION_H
