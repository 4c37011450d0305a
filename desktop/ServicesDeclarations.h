// The declarations that put Corvane's commands into the folder context menus of KDE Dolphin, GNOME
// Files, Nemo and Thunar for the current user, and the file that lets D-Bus start the provider.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace corvane {

/// One declaration file: where it goes, what it says, its permissions.
struct ServicesDeclarationFile {
    std::string path;
    std::string content;
    mode_t mode = 0644;
};

/// The name of the systemd user unit that runs the provider.
inline constexpr const char* kSystemdUnitName = "corvane.service";

/// The files of the declarations under $XDG_DATA_HOME (else ~/.local/share): Dolphin's service menu,
/// the GNOME Files scripts, the Nemo actions, the D-Bus activation file and the systemd user unit it names
/// (where systemd can start program), each menu command running
/// `program request "<command>" <selected folders>`, in the order of commands (which are also the menu
/// titles). Thunar's actions are not files of their own: see ThunarActionsFilePath.
std::vector<ServicesDeclarationFile> ServicesDeclarationFiles(const std::string& program,
                                                              const std::vector<std::string>& commands);

/// The D-Bus activation file that starts `program serve`, its Exec line as dbus-daemon reads it: key-file
/// escapes taken out, then split as a shell splits double-quoted words. Where systemd can start program,
/// it names the user unit too. `cmake --install` writes it as well.
std::string ActivationFileContent(const std::string& program);

/// Whether systemd runs program from a unit: it refuses a program path holding a quote or a backslash,
/// and such a provider is then started by the bus alone.
bool SystemdCanStart(const std::string& program);

/// The systemd user unit that runs `program serve` as a D-Bus service, so that its log goes to the journal
/// and `systemctl --user stop corvane` stops it.
std::string SystemdUnitContent(const std::string& program);

/// Thunar's custom actions file: $XDG_CONFIG_HOME (else ~/.config) /Thunar/uca.xml.
std::string ThunarActionsFilePath();

/// Writes every declaration for program (an absolute path), each file atomically and only when it
/// would change, and merges the Thunar actions into the user's uca.xml (started from the system's
/// default actions when the user has none). False with errorText at the first failure, which leaves
/// that file as it was and the ones written before it in place; a program path holding '%' or a
/// control character is refused before anything is written.
bool InstallServicesDeclarations(const std::string& program, const std::vector<std::string>& commands,
                                 std::string* errorText);

/// Rewrites for program only the declarations in place now: each of the files that exists and each of
/// Corvane's actions still in uca.xml. What the user removed stays removed. Refuses the same paths as
/// InstallServicesDeclarations; false with errorText at the first failure.
bool RefreshInstalledServicesDeclarations(const std::string& program, const std::vector<std::string>& commands,
                                          std::string* errorText);

/// Removes exactly what InstallServicesDeclarations writes: its files, the GNOME Files script folder
/// when nothing else is left in it, and Corvane's actions in uca.xml, whose other actions stay; a
/// uca.xml that install started from the system's and that holds nothing else then goes as well.
/// False with errorText at the first failure.
bool UninstallServicesDeclarations(const std::vector<std::string>& commands, std::string* errorText);

/// The absolute path of the running program, for the commands the declarations run; none when the
/// system does not say.
std::optional<std::string> RunningProgramPath();

}  // namespace corvane
