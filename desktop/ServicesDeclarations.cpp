#include "desktop/ServicesDeclarations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "desktop/ExecQuoting.h"
#include "desktop/ServicesBus.h"
#include "desktop/ThunarActions.h"
#include "platform/base/AsciiText.h"
#include "platform/base/AtomicFile.h"
#include "platform/base/ConfigurationFile.h"
#include "platform/base/XdgDirectories.h"

namespace corvane {

namespace {

constexpr const char* kMenuName = "Corvane";
constexpr const char* kDescription = "Tidy the selected folders with Corvane";
constexpr const char* kIcon = "folder";

bool IsWordCharacter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// "Aggregate Files by Extension" -> "aggregate-files-by-extension": file names and Thunar unique-ids.
std::string Slug(const std::string& command) {
    std::string slug;
    for (const char c : command) {
        if (IsWordCharacter(c)) {
            slug += c;
        } else if (!slug.empty() && slug.back() != '-') {
            slug += '-';
        }
    }
    while (!slug.empty() && slug.back() == '-') {
        slug.pop_back();
    }
    return AsciiLowercase(slug);
}

// "Aggregate Files by Extension" -> "AggregateFilesByExtension": desktop action names allow only
// letters, digits and '-'.
std::string ActionName(const std::string& command) {
    std::string name;
    bool wordStart = true;
    for (const char c : command) {
        if (!IsWordCharacter(c)) {
            wordStart = true;
            continue;
        }
        name += static_cast<char>(wordStart && c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        wordStart = false;
    }
    return name;
}

std::string ScriptsFolder() { return XdgDataHome() + "/nautilus/scripts/" + kMenuName; }

// Each command line ends the options before the selection: GNOME Files hands over names relative to
// the shown folder, and a folder may be named "-x" or "--help".
std::string ShellCommand(const std::string& program, const std::string& command, const std::string& selection) {
    return ShellQuote(program) + " request " + ShellQuote(command) + " -- " + selection;
}

ServicesDeclarationFile DolphinServiceMenu(const std::string& program, const std::vector<std::string>& commands) {
    std::string actions;
    std::string groups;
    for (const std::string& command : commands) {
        actions += ActionName(command) + ";";
        groups += "\n[Desktop Action " + ActionName(command) + "]\n";
        groups += "Name=" + KeyFileEscape(command) + "\n";
        groups += std::string("Icon=") + kIcon + "\n";
        groups += "Exec=" + KeyFileEscape(DesktopExecQuote(program) + " request " + DesktopExecQuote(command)) +
                  " -- %F\n";
    }
    std::string content = "[Desktop Entry]\n";
    content += "Type=Service\n";
    content += std::string("Name=") + kMenuName + "\n";
    content += "MimeType=inode/directory;\n";
    content += "Actions=" + actions + "\n";
    content += "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n";
    content += std::string("X-KDE-Submenu=") + kMenuName + "\n";
    // Dolphin runs a service menu from the user's folder only when the file is executable.
    return {XdgDataHome() + "/kio/servicemenus/corvane.desktop", content + groups, 0755};
}

ServicesDeclarationFile NautilusScript(const std::string& program, const std::string& command) {
    // GNOME Files runs the script in the shown folder with the selected names as its arguments;
    // "$@" keeps names with blanks or newlines whole.
    std::string content = "#!/bin/sh\n";
    content += "# " + std::string(kDescription) + ": " + command + ".\n";
    content += "exec " + ShellCommand(program, command, "\"$@\"") + "\n";
    return {ScriptsFolder() + "/" + command, content, 0755};
}

ServicesDeclarationFile NemoAction(const std::string& program, const std::string& command) {
    std::string content = "[Nemo Action]\n";
    content += "Name=" + KeyFileEscape(command) + "\n";
    content += std::string("Comment=") + kDescription + "\n";
    // Nemo puts each selected path in double quotes, then splits the line as a shell would.
    content += "Exec=" + KeyFileEscape(ShellCommand(program, command, "%F")) + "\n";
    content += std::string("Icon-Name=") + kIcon + "\n";
    content += "Selection=notnone\n";
    content += "Extensions=dir;\n";
    content += "Quote=double\n";
    return {XdgDataHome() + "/nemo/actions/corvane-" + Slug(command) + ".nemo_action", content, 0644};
}

ServicesDeclarationFile ActivationFile(const std::string& program) {
    return {XdgDataHome() + "/dbus-1/services/" + kServicesBusName + ".service", ActivationFileContent(program), 0644};
}

ServicesDeclarationFile SystemdUnitFile(const std::string& program) {
    return {XdgDataHome() + "/systemd/user/" + kSystemdUnitName, SystemdUnitContent(program), 0644};
}

std::vector<ThunarAction> ThunarActionsFor(const std::string& program, const std::vector<std::string>& commands) {
    std::vector<ThunarAction> actions;
    for (const std::string& command : commands) {
        // Thunar puts each selected path through g_shell_quote and runs the line with /bin/sh -c.
        actions.push_back({"corvane-" + Slug(command), command, kMenuName, ShellCommand(program, command, "%F"),
                           kDescription, kIcon});
    }
    return actions;
}

std::vector<std::string> ThunarActionIds(const std::vector<std::string>& commands) {
    std::vector<std::string> ids;
    for (const std::string& command : commands) {
        ids.push_back("corvane-" + Slug(command));
    }
    return ids;
}

// A file of the declarations, none when it is not there; false with errorText when something is
// there that cannot be read as one (a FIFO, a device, a file over the size limit).
bool ReadDeclarationFile(const std::string& path, std::optional<std::string>& content, std::string* errorText) {
    content.reset();
    std::string bytes;
    std::string why;
    const OSErr status = ReadConfigurationFile(path, bytes, &why);
    if (status == fnfErr) {
        return true;
    }
    if (status != noErr) {
        if (errorText != nullptr) {
            *errorText = path + ": " + why;
        }
        return false;
    }
    content = std::move(bytes);
    return true;
}

bool PathCanBeDeclared(const std::string& program, std::string* errorText) {
    bool fits = !program.empty() && program[0] == '/';
    for (const char c : program) {
        // Nemo takes the first '%' for a placeholder and none of the formats carries a control character.
        fits = fits && c != '%' && static_cast<unsigned char>(c) >= 0x20 && c != 0x7f;
    }
    if (!fits && errorText != nullptr) {
        *errorText = "the program's path \"" + program +
                     "\" cannot go into a menu command: it must be absolute and hold no '%' or control character";
    }
    return fits;
}

mode_t ModeOr(const std::string& path, mode_t fallback) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : fallback;
}

// Thunar reads the user's file instead of the system's, so a new one starts from the system's actions,
// which the user would otherwise lose from the menu.
// from (when given) becomes the path of the file read.
bool ReadSystemThunarActions(std::optional<std::string>& xml, std::string* errorText, std::string* from = nullptr) {
    for (const std::string& folder : XdgConfigDirs()) {
        const std::string path = folder + "/Thunar/uca.xml";
        if (!ReadDeclarationFile(path, xml, errorText)) {
            return false;
        }
        if (xml) {
            if (from != nullptr) {
                *from = path;
            }
            break;
        }
    }
    return true;
}

bool InstallThunarActions(const std::string& program, const std::vector<std::string>& commands,
                          std::string* errorText) {
    const std::string path = ThunarActionsFilePath();
    std::string from = path;
    std::optional<std::string> existing;
    if (!ReadDeclarationFile(path, existing, errorText) ||
        (!existing && !ReadSystemThunarActions(existing, errorText, &from))) {
        return false;
    }
    std::string merged;
    std::string why;
    if (!MergeThunarActions(existing, ThunarActionsFor(program, commands), merged, &why)) {
        if (errorText != nullptr) {
            *errorText = "cannot add the actions to " + (from == path ? path : "a copy of " + from) + ": " + why;
        }
        return false;
    }
    return ReplaceFileContents(path, merged, ModeOr(path, 0644), errorText);
}

// What install made by copying the system's actions, once nothing of the user's is in it: Thunar then
// reads the system's file again. A link is the user's own, wherever it points.
bool IsInstallsCopyOfTheSystemsFile(const std::string& path, const std::string& remainingXml) {
    struct stat info {};
    std::optional<std::string> system;
    std::string copy;
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ReadSystemThunarActions(system, nullptr) &&
           MergeThunarActions(system, {}, copy, nullptr) && remainingXml == copy;
}

// The user's uca.xml for an edit: false with errorText when it cannot be read; xml stays empty when the
// user has none, which leaves nothing to edit.
bool ReadUsersThunarActions(std::optional<std::string>& xml, std::string* errorText) {
    return ReadDeclarationFile(ThunarActionsFilePath(), xml, errorText);
}

bool EditRefused(std::string* errorText, const std::string& what, const std::string& why) {
    if (errorText != nullptr) {
        *errorText = "cannot " + what + " " + ThunarActionsFilePath() + ": " + why;
    }
    return false;
}

bool UninstallThunarActions(const std::vector<std::string>& commands, std::string* errorText) {
    std::optional<std::string> existing;
    if (!ReadUsersThunarActions(existing, errorText)) {
        return false;
    }
    if (!existing) {
        return true;
    }
    std::string remaining;
    std::size_t removed = 0;
    std::string why;
    if (!RemoveThunarActions(*existing, ThunarActionIds(commands), remaining, removed, &why)) {
        return EditRefused(errorText, "take the actions out of", why);
    }
    const std::string path = ThunarActionsFilePath();
    if (removed == 0) {
        return true;
    }
    if (IsInstallsCopyOfTheSystemsFile(path, remaining)) {
        return RemoveFileIfPresent(path, errorText);
    }
    return ReplaceFileContents(path, remaining, ModeOr(path, 0644), errorText);
}

bool RefreshInstalledThunarActions(const std::string& program, const std::vector<std::string>& commands,
                                   std::string* errorText) {
    std::optional<std::string> existing;
    if (!ReadUsersThunarActions(existing, errorText)) {
        return false;
    }
    if (!existing) {
        return true;
    }
    std::string refreshed;
    std::size_t present = 0;
    std::string why;
    if (!RefreshThunarActions(*existing, ThunarActionsFor(program, commands), refreshed, present, &why)) {
        return EditRefused(errorText, "refresh the actions in", why);
    }
    // Without Corvane's actions the file is the user's alone, down to its layout.
    const std::string path = ThunarActionsFilePath();
    return present == 0 || ReplaceFileContents(path, refreshed, ModeOr(path, 0644), errorText);
}

}  // namespace

std::vector<ServicesDeclarationFile> ServicesDeclarationFiles(const std::string& program,
                                                              const std::vector<std::string>& commands) {
    std::vector<ServicesDeclarationFile> files{DolphinServiceMenu(program, commands)};
    for (const std::string& command : commands) {
        files.push_back(NautilusScript(program, command));
    }
    for (const std::string& command : commands) {
        files.push_back(NemoAction(program, command));
    }
    files.push_back(ActivationFile(program));
    if (SystemdCanStart(program)) {
        files.push_back(SystemdUnitFile(program));
    }
    return files;
}

std::string ActivationFileContent(const std::string& program) {
    std::string content = "[D-BUS Service]\n";
    content += std::string("Name=") + kServicesBusName + "\n";
    // dbus-daemon takes the key-file escapes out first, then splits the line as GLib's shell parser does.
    content += "Exec=" + KeyFileEscape(DesktopExecQuote(program) + " serve") + "\n";
    // A bus under systemd hands the start to the user unit; any other bus ignores the key and runs Exec.
    if (SystemdCanStart(program)) {
        content += std::string("SystemdService=") + kSystemdUnitName + "\n";
    }
    return content;
}

bool SystemdCanStart(const std::string& program) {
    return program.find_first_of("'\"\\") == std::string::npos;
}

std::string SystemdUnitContent(const std::string& program) {
    std::string content = "[Unit]\n";
    content += "Description=Corvane, tidying folders picked in the file manager\n";
    content += "Documentation=man:corvane(1)\n";
    content += "\n[Service]\n";
    content += "Type=dbus\n";
    content += std::string("BusName=") + kServicesBusName + "\n";
    // In double quotes a blank stays inside the word; systemd expands no '$' in the program's own path.
    content += "ExecStart=\"" + program + "\" serve\n";
    return content;
}

std::string ThunarActionsFilePath() { return XdgConfigHome() + "/Thunar/uca.xml"; }

bool InstallServicesDeclarations(const std::string& program, const std::vector<std::string>& commands,
                                 std::string* errorText) {
    if (!PathCanBeDeclared(program, errorText)) {
        return false;
    }
    for (const ServicesDeclarationFile& file : ServicesDeclarationFiles(program, commands)) {
        if (!ReplaceFileContents(file.path, file.content, file.mode, errorText)) {
            return false;
        }
    }
    return InstallThunarActions(program, commands, errorText);
}

bool RefreshInstalledServicesDeclarations(const std::string& program, const std::vector<std::string>& commands,
                                          std::string* errorText) {
    if (!PathCanBeDeclared(program, errorText)) {
        return false;
    }
    const std::string activation = ActivationFile(program).path;
    const std::string unit = SystemdUnitFile(program).path;
    bool activationInstalled = false;
    for (const ServicesDeclarationFile& file : ServicesDeclarationFiles(program, commands)) {
        std::optional<std::string> present;
        if (!ReadDeclarationFile(file.path, present, errorText)) {
            return false;
        }
        activationInstalled = activationInstalled || (present && file.path == activation);
        // The activation file names the unit, so where it stays the unit must be there too: an install
        // from before the unit existed gets it now.
        const bool wanted = present || (file.path == unit && activationInstalled);
        if (wanted && !ReplaceFileContents(file.path, file.content, file.mode, errorText)) {
            return false;
        }
    }
    return RefreshInstalledThunarActions(program, commands, errorText);
}

bool UninstallServicesDeclarations(const std::vector<std::string>& commands, std::string* errorText) {
    // The paths do not depend on the program the files name.
    for (const ServicesDeclarationFile& file : ServicesDeclarationFiles("/", commands)) {
        if (!RemoveFileIfPresent(file.path, errorText)) {
            return false;
        }
    }
    // Only an empty folder goes: whatever else the user keeps there stays.
    if (rmdir(ScriptsFolder().c_str()) != 0 && errno != ENOENT && errno != ENOTEMPTY && errno != EEXIST) {
        if (errorText != nullptr) {
            *errorText = "cannot remove " + ScriptsFolder() + ": " + std::strerror(errno);
        }
        return false;
    }
    return UninstallThunarActions(commands, errorText);
}

std::optional<std::string> RunningProgramPath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || self.empty()) {
        return std::nullopt;
    }
    return self.string();
}

}  // namespace corvane
