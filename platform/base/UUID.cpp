#include "platform/base/UUID.h"

#include <uuid/uuid.h>

namespace corvane {

std::string CFUUIDCreateString() {
    uuid_t uuid;
    uuid_generate_random(uuid);
    char text[37];
    uuid_unparse_upper(uuid, text);
    return text;
}

}  // namespace corvane
