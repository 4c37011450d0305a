#include "platform/base/ConfigurationFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/base/Errors.h"
#include "platform/base/FileDescriptors.h"

namespace corvane {

namespace {

std::string KindOf(mode_t mode) {
    switch (mode & S_IFMT) {
    case S_IFIFO: return "a FIFO";
    case S_IFCHR: return "a character device";
    case S_IFBLK: return "a block device";
    case S_IFSOCK: return "a socket";
    case S_IFDIR: return "a folder";
    default: return "no regular file";
    }
}

OSErr Refuse(std::string* why, std::string text, OSErr status = ioErr) {
    if (why != nullptr) {
        *why = std::move(text);
    }
    return status;
}

OSErr Failed(std::string* why, int error) {
    return Refuse(why, error == ENOENT ? "no such file" : std::string("cannot be read: ") + std::strerror(error),
                  OSErrFromErrno(error));
}

// Just past the first occurrence of terminator at or after from; the end of text when there is none.
std::size_t SkipPast(std::string_view text, std::size_t from, std::string_view terminator) {
    const std::size_t found = text.find(terminator, from);
    return found == std::string_view::npos ? text.size() : found + terminator.size();
}

// Just past the '>' that ends the markup starting at from, outside quotes and, for a declaration (a
// document type's internal subset), outside brackets.
std::size_t SkipMarkup(std::string_view text, std::size_t from, bool declaration) {
    char quote = '\0';
    std::size_t brackets = 0;
    for (std::size_t at = from; at < text.size(); ++at) {
        const char c = text[at];
        if (quote != '\0') {
            quote = c == quote ? '\0' : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[' && declaration) {
            ++brackets;
        } else if (c == ']' && brackets > 0) {
            --brackets;
        } else if (c == '>' && brackets == 0) {
            return at + 1;
        }
    }
    return text.size();
}

}  // namespace

OSErr ReadConfigurationFile(const std::string& path, std::string& content, std::string* why) {
    content.clear();
    // O_NONBLOCK: opening a FIFO with no writer would otherwise wait for one forever.
    const UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        return Failed(why, errno);
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0) {
        return Failed(why, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return Refuse(why, "not a regular file but " + KindOf(info.st_mode));
    }
    const std::string tooLarge = "larger than the " + std::to_string(kConfigurationFileSizeLimit >> 20) +
                                 " MiB a configuration file may hold";
    if (info.st_size > kConfigurationFileSizeLimit) {
        return Refuse(why, tooLarge);
    }
    // The size may change while the file is read (or be 0, as for kernel files): the limit holds
    // whatever it says.
    std::string bytes;
    char buffer[16384];
    while (true) {
        const ssize_t got = read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Failed(why, errno);
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > static_cast<std::size_t>(kConfigurationFileSizeLimit)) {
            return Refuse(why, tooLarge);
        }
    }
    content = std::move(bytes);
    return noErr;
}

bool XMLNestingWithin(std::string_view xml, std::size_t limit) {
    std::size_t depth = 0;
    std::size_t at = 0;
    while ((at = xml.find('<', at)) != std::string_view::npos) {
        const std::string_view rest = xml.substr(at);
        if (rest.starts_with("<!--")) {
            at = SkipPast(xml, at + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            at = SkipPast(xml, at + 9, "]]>");
        } else if (rest.starts_with("<?")) {
            at = SkipPast(xml, at + 2, "?>");
        } else if (rest.starts_with("<!")) {
            at = SkipMarkup(xml, at + 2, true);
        } else {
            const std::size_t end = SkipMarkup(xml, at + 1, false);
            if (rest.starts_with("</")) {
                depth -= depth > 0 ? 1 : 0;
            } else if (xml[end - 1] == '>' && xml[end - 2] != '/' && ++depth > limit) {
                return false;
            }
            at = end;
        }
    }
    return true;
}

}  // namespace corvane
