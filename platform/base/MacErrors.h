// Status values, as the original platform published them, for every status the layers return.
#pragma once

#include "platform/base/MacTypes.h"

namespace corvane {

constexpr OSErr noErr = 0;
constexpr OSErr dskFulErr = -34;
constexpr OSErr ioErr = -36;
constexpr OSErr bdNamErr = -37;
constexpr OSErr fnfErr = -43;
constexpr OSErr wPrErr = -44;
constexpr OSErr fLckdErr = -45;
constexpr OSErr fBsyErr = -47;
constexpr OSErr dupFNErr = -48;
constexpr OSErr paramErr = -50;
constexpr OSErr permErr = -54;
constexpr OSErr wrPermErr = -61;
constexpr OSErr memFullErr = -108;
constexpr OSErr dirNFErr = -120;
constexpr OSErr procNotFound = -600;
constexpr OSErr errFSNotAFolder = -1407;
constexpr OSErr errFSNameTooLong = -1410;
constexpr OSErr errFSNoMoreItems = -1417;
constexpr OSErr errAECoercionFail = -1700;
constexpr OSErr errAEDescNotFound = -1701;
constexpr OSErr errAEWrongDataType = -1703;
constexpr OSErr errAEEventNotHandled = -1708;
constexpr OSErr errAETimeout = -1712;
constexpr OSErr errAEHandlerNotFound = -1717;
constexpr OSErr errAENoSuchObject = -1728;
constexpr OSErr errAEBuildSyntaxError = -1740;
constexpr OSErr coreFoundationUnknownErr = -4960;
constexpr OSErr afpAccessDenied = -5000;
constexpr OSErr errAEEventFailed = -10000;

}  // namespace corvane
