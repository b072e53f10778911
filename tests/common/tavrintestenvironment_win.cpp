#include "tavrintestenvironment.h"

#include <qt_windows.h>

// The key that stands in for HKEY_CURRENT_USER while the test runs.
static const wchar_t testKeysPath[] = L"Software\\Tavrin Tests";
static HKEY s_testKey = nullptr;
static QString s_testKeyName;

void TavrinTestEnvironment::isolate()
{
    // Without a console (Wine started from a script) QtTest reports to the debugger instead of
    // standard output. Wine passes on no variable of the Linux side that starts with QT_.
    qputenv("QT_FORCE_STDERR_LOGGING", "1");
    QDir().mkpath(tempDir());
    QDir().mkpath(home());
    const QByteArray temp = QDir::toNativeSeparators(tempDir()).toLocal8Bit();
    qputenv("TMP", temp);
    qputenv("TEMP", temp);
    qputenv("USERPROFILE", QDir::toNativeSeparators(home()).toLocal8Bit());
    s_testKeyName = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString path = QString::fromWCharArray(testKeysPath) + QLatin1Char('\\') + s_testKeyName;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t *>(path.utf16()), 0,
                          nullptr, 0, KEY_ALL_ACCESS, nullptr, &s_testKey, nullptr)
                == ERROR_SUCCESS
        && ::RegOverridePredefKey(HKEY_CURRENT_USER, s_testKey) == ERROR_SUCCESS)
        return;
    qFatal("HKEY_CURRENT_USER cannot be replaced by a key of the test's own");
}

void TavrinTestEnvironment::restore()
{
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    ::RegCloseKey(s_testKey);
    HKEY tests = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, testKeysPath, 0, KEY_ALL_ACCESS, &tests)
        == ERROR_SUCCESS) {
        ::RegDeleteTreeW(tests, reinterpret_cast<const wchar_t *>(s_testKeyName.utf16()));
        ::RegCloseKey(tests);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, testKeysPath); // fails while other tests run: fine
    }
}

QString TavrinTestEnvironment::registryRoot()
{
    return QStringLiteral("HKEY_CURRENT_USER\\") + QString::fromWCharArray(testKeysPath)
           + QLatin1Char('\\') + s_testKeyName;
}

const char *TavrinTestEnvironment::homeVariable()
{
    return "USERPROFILE";
}
