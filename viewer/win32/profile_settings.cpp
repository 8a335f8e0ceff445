#include "win32/profile_settings.h"

#include <windows.h>

namespace tessaro {

namespace {

constexpr char kCompanyKey[] = "Software\\Local AppWizard-Generated Applications\\";
constexpr char kRecentSection[] = "Recent File List";
constexpr int kRecentEntries = 4;

class RegistryKey {
  public:
    RegistryKey(HKEY parent, const std::string& path) {
        if (RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ | KEY_WRITE, nullptr, &m_key, nullptr) != ERROR_SUCCESS) {
            m_key = nullptr;
        }
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (m_key != nullptr) RegCloseKey(m_key);
    }
    HKEY get() const { return m_key; }

    // The text value `name`; empty when it is missing or not text.
    std::string text(const char* name) const {
        char value[MAX_PATH * 2] = "";
        DWORD type = 0, size = sizeof(value) - 1;
        if (RegQueryValueExA(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ) {
            return {};
        }
        value[size] = '\0';
        return value;
    }

  private:
    HKEY m_key = nullptr;
};

}  // namespace

ProfileSettings loadProfileSettings(const char* application) {
    ProfileSettings settings;
    const RegistryKey program(HKEY_CURRENT_USER, std::string(kCompanyKey) + application);
    if (program.get() == nullptr) return settings;
    settings.stored = true;
    const RegistryKey recent(program.get(), kRecentSection);
    if (recent.get() == nullptr) return settings;
    for (int i = 1; i <= kRecentEntries; ++i) {
        const std::string name = recent.text(("File" + std::to_string(i)).c_str());
        if (!name.empty()) settings.recentFiles.push_back(name);
    }
    return settings;
}

}  // namespace tessaro
