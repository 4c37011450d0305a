// Writes the D-Bus activation file at install time, once the prefix is known, with the very text that
// `corvane install-services` writes, so that both quote the program's path alike.
//
//   corvane-activation-file INSTALLED-PROGRAM SERVICE-FILE
#include <iostream>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/ServicesDeclarations.h"

int main(int argc, char** argv) {
    if (argc != 3 || argv[1][0] != '/') {
        std::cerr << "usage: corvane-activation-file ABSOLUTE-PROGRAM-PATH SERVICE-FILE\n";
        return 2;
    }
    std::string failure;
    if (!ReplaceFileContents(argv[2], ActivationFileContent(argv[1]), 0644, &failure)) {
        std::cerr << "corvane-activation-file: " << failure << "\n";
        return 1;
    }
    return 0;
}
