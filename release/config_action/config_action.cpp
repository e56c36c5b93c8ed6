// The installer package's custom actions for the settings given on the
// msiexec command line, the public properties HOST, CODESPATH and
// TRANSFERPATH (Norvale.wxs schedules them):
// - CheckConfig, immediate, first of all: a value that holds a control
//   character, or a character the ANSI code page cannot hold, fails the
//   install before it changes anything;
// - WriteConfig, deferred, once the files are in place: writes the values
//   into config.txt. A property that is given replaces its line; one that is
//   empty (not given) keeps the line already there. The file is written
//   whole, as the program writes it, and replaced safely. With no property
//   given, config.txt is not touched. It reads only its CustomActionData,
//   which the package's type-51 action sets to
//
//     [INSTALLDIR] TAB "HOST=" [HOST] TAB "CODESPATH=" [CODESPATH]
//                  TAB "TRANSFERPATH=" [TRANSFERPATH]
//
//   and checks the values again.

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <array>
#include <string>

#include "platform/code_page.h"
#include "platform/text_file.h"
#include "settings/settings.h"

namespace {

// The settings and the public property that gives each, in the order of
// config.txt's lines and of CustomActionData.
struct Property {
    const wchar_t* name;
    std::string Settings::*line;
};
constexpr std::array<Property, 3> PROPERTIES = {{
    {L"HOST", &Settings::host},
    {L"CODESPATH", &Settings::codesPath},
    {L"TRANSFERPATH", &Settings::transferPath},
}};

constexpr wchar_t ACTION_DATA[] = L"CustomActionData";
constexpr wchar_t FIELD_SEPARATOR = L'\t';
constexpr char FOLDER_SEPARATOR = '\\';

// Control characters: C0, DEL and C1.
constexpr wchar_t LAST_C0_CONTROL = 0x1F;
constexpr wchar_t FIRST_LATER_CONTROL = 0x7F;
constexpr wchar_t LAST_C1_CONTROL = 0x9F;

// An MSI handle that closes itself.
class MsiHandle {
public:
    explicit MsiHandle(MSIHANDLE handle) : handle_(handle) {}
    ~MsiHandle() { MsiCloseHandle(handle_); }
    MsiHandle(const MsiHandle&) = delete;
    MsiHandle& operator=(const MsiHandle&) = delete;
    MSIHANDLE get() const { return handle_; }

private:
    MSIHANDLE handle_;
};

// Writes `text` to the install log; as an error, also shown to a user who
// installs with a user interface.
void Report(MSIHANDLE install, INSTALLMESSAGE kind, const std::wstring& text) {
    const MsiHandle record(MsiCreateRecord(0));
    MsiRecordSetStringW(record.get(), 0, (L"Norvale: " + text).c_str());
    MsiProcessMessage(install, kind, record.get());
}

UINT Fail(MSIHANDLE install, const std::wstring& why) {
    Report(install, INSTALLMESSAGE(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR),
           why + L"; config.txt is left as it was.");
    return ERROR_INSTALL_FAILURE;
}

bool GetProperty(MSIHANDLE install, const wchar_t* name, std::wstring& value) {
    wchar_t none[1] = L"";
    DWORD length = 0;
    const UINT sized = MsiGetPropertyW(install, name, none, &length);
    if (sized != ERROR_MORE_DATA && sized != ERROR_SUCCESS) {
        return false;
    }
    value.assign(length + 1, L'\0');
    DWORD capacity = length + 1;
    if (MsiGetPropertyW(install, name, value.data(), &capacity) != ERROR_SUCCESS) {
        return false;
    }
    value.resize(capacity);
    return true;
}

using Values = std::array<std::wstring, PROPERTIES.size()>;
using AnsiValues = std::array<std::string, PROPERTIES.size()>;

// The install folder and the three values, from CustomActionData. Each value
// runs to the next property's marker (TAB NAME "="), the last to the end, so
// a TAB inside a value stays in a value, where the check refuses it.
struct ActionData {
    std::wstring folder;
    Values values;
};

bool ParseActionData(const std::wstring& data, ActionData& parsed) {
    std::wstring::size_type start = 0;
    std::wstring* field = &parsed.folder;
    for (std::size_t i = 0; i < PROPERTIES.size(); ++i) {
        const std::wstring marker = FIELD_SEPARATOR + std::wstring(PROPERTIES[i].name) + L"=";
        const std::wstring::size_type found = data.find(marker, start);
        if (found == std::wstring::npos) {
            return false;
        }
        field->assign(data, start, found - start);
        start = found + marker.size();
        field = &parsed.values[i];
    }
    field->assign(data, start, std::wstring::npos);
    return !parsed.folder.empty();
}

bool HasControlCharacter(const std::wstring& text) {
    for (const wchar_t c : text) {
        if (c <= LAST_C0_CONTROL || (c >= FIRST_LATER_CONTROL && c <= LAST_C1_CONTROL)) {
            return true;
        }
    }
    return false;
}

// `wide` in the ANSI code page; false when a character of it has no exact
// form there.
bool ToAnsi(const std::wstring& wide, std::string& ansi) {
    return platform::ToAnsiText(platform::TextFromWide(wide), ansi);
}

// The settings of the config.txt at `path` (UTF-8) as the program reads them;
// empty when there is no such file. False when it is there but cannot be read.
bool LoadExisting(const std::string& path, Settings& settings) {
    if (GetFileAttributesW(platform::WideFromText(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    std::string text;
    if (!platform::ReadTextFile(path, text)) {
        return false;
    }
    ParseSettingsText(text, settings);
    return true;
}

// Checks the three values and gives them in the ANSI code page; on a refused
// value, reports it by its property's name and fails.
UINT CheckValues(MSIHANDLE install, const Values& values, AnsiValues& ansi) {
    for (std::size_t i = 0; i < PROPERTIES.size(); ++i) {
        const std::wstring name = PROPERTIES[i].name;
        if (HasControlCharacter(values[i])) {
            return Fail(install, L"the value of " + name + L" holds a control character");
        }
        if (!ToAnsi(values[i], ansi[i])) {
            return Fail(install, L"the value of " + name + L" holds a character that code page " +
                                     std::to_wstring(GetACP()) + L" cannot hold");
        }
    }
    return ERROR_SUCCESS;
}

bool AnyGiven(const AnsiValues& values) {
    for (const std::string& value : values) {
        if (!value.empty()) {
            return true;
        }
    }
    return false;
}

}  // namespace

// Refuses a value before the install changes anything, an older version's
// removal included: a failure of the deferred action would leave undoing
// that to the installer's rollback.
extern "C" __declspec(dllexport) UINT __stdcall CheckConfig(MSIHANDLE install) {
    Values values;
    for (std::size_t i = 0; i < PROPERTIES.size(); ++i) {
        if (!GetProperty(install, PROPERTIES[i].name, values[i])) {
            return Fail(install, L"cannot read the property " + std::wstring(PROPERTIES[i].name));
        }
    }
    AnsiValues ansi;
    return CheckValues(install, values, ansi);
}

// Writes the values given into config.txt.
extern "C" __declspec(dllexport) UINT __stdcall WriteConfig(MSIHANDLE install) {
    std::wstring data;
    ActionData parsed;
    if (!GetProperty(install, ACTION_DATA, data) || !ParseActionData(data, parsed)) {
        return Fail(install, L"the action's data is not as the package sets it");
    }
    AnsiValues values;
    if (const UINT checked = CheckValues(install, parsed.values, values);
        checked != ERROR_SUCCESS) {
        return checked;
    }
    if (!AnyGiven(values)) {
        Report(install, INSTALLMESSAGE_INFO, L"no setting given; config.txt is left as it is.");
        return ERROR_SUCCESS;
    }
    // The folder by its full name, whatever the code page can hold.
    std::string folder = platform::TextFromWide(parsed.folder);
    if (folder.back() != FOLDER_SEPARATOR) {
        folder += FOLDER_SEPARATOR;
    }
    const std::string path = folder + SETTINGS_FILE_NAME;
    Settings settings;
    if (!LoadExisting(path, settings)) {
        return Fail(install, L"cannot read config.txt in " + parsed.folder);
    }
    for (std::size_t i = 0; i < PROPERTIES.size(); ++i) {
        if (!values[i].empty()) {
            settings.*PROPERTIES[i].line = values[i];
        }
    }
    if (!SaveSettings(settings, path)) {
        return Fail(install, L"cannot write config.txt in " + parsed.folder);
    }
    Report(install, INSTALLMESSAGE_INFO, L"the settings given were written to config.txt.");
    return ERROR_SUCCESS;
}
