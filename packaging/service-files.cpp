// Writes the D-Bus activation file and the systemd user unit at install time, once the prefix is known,
// with the very text that `corvane install-services` writes, so that both quote the program's path alike.
//
//   corvane-service-files INSTALLED-PROGRAM DATA-DIRECTORY

#include <iostream>
#include <string>

#include "desktop/ServicesBus.h"
#include "desktop/ServicesDeclarations.h"
#include "platform/base/AtomicFile.h"

using namespace corvane;

namespace {

bool Write(const std::string& path, const std::string& content) {
    std::cout << "-- Installing: " << path << "\n";
    std::string failure;
    if (!ReplaceFileContents(path, content, 0644, &failure)) {
        std::cerr << "corvane-service-files: " << failure << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || argv[1][0] != '/') {
        std::cerr << "usage: corvane-service-files ABSOLUTE-PROGRAM-PATH DATA-DIRECTORY\n";
        return 2;
    }
    const std::string program = argv[1];
    const std::string data = argv[2];
    if (!Write(data + "/dbus-1/services/" + kServicesBusName + ".service", ActivationFileContent(program))) {
        return 1;
    }
    if (SystemdCanStart(program) &&
        !Write(data + "/systemd/user/" + kSystemdUnitName, SystemdUnitContent(program))) {
        return 1;
    }
    return 0;
}
