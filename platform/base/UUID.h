// Fresh random UUIDs in the original platform's text form: 36 upper-case hexadecimal characters.
#pragma once

#include <string>

namespace corvane {

/// A new random UUID as text, for example "1B4E28BA-2FA1-11D2-883F-0016D3CCA427".
std::string CFUUIDCreateString();

}  // namespace corvane
