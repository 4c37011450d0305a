#include "MoreAppleEvents/MoreFinderEvents.h"

#include "MoreAppleEvents/MoreAEDataModel.h"
#include "MoreAppleEvents/MoreAEObjects.h"
#include "MoreAppleEvents/MoreAppleEvents.h"
#include "platform/events/AERegistry.h"

namespace corvane {

OSErr MoreFEGetCommentCFString(const FSRef* item, std::optional<std::u16string>* comment, AEIdleUPP idleProc) {
    if (idleProc == nullptr) {
        return paramErr;
    }
    AEDesc fileObject;
    OSErr err = MoreAEOCreateObjSpecifierFromFSRef(item, &fileObject);
    if (err != noErr) {
        return err;
    }
    AppleEvent event;
    AEBuildError buildError;
    err = AEBuildAppleEvent(kAECoreSuite, kAEGetData, typeApplSignature, &gFinderSignature, sizeof(gFinderSignature),
                            kAutoGenerateReturnID, kAnyTransactionID, &event, &buildError,
                            "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)}", &fileObject);
    MoreAEDisposeDesc(&fileObject);
    if (err != noErr) {
        return err;
    }
    AEDesc text;
    err = MoreAESendEventReturnAEDesc(idleProc, &event, typeUnicodeText, &text);
    MoreAEDisposeDesc(&event);
    if (err != noErr) {
        return err;
    }
    err = MoreAEGetCFStringFromDescriptor(&text, comment);
    MoreAEDisposeDesc(&text);
    return err;
}

OSErr MoreFESetCommentCFString(const FSRef* item, const std::u16string* comment, AEIdleUPP idleProc) {
    AEDesc fileObject;
    OSErr err = MoreAEOCreateObjSpecifierFromFSRef(item, &fileObject);
    if (err != noErr) {
        return err;
    }
    AEDesc text;
    err = MoreAECreateAEDescFromCFString(comment, &text);
    if (err != noErr) {
        MoreAEDisposeDesc(&fileObject);
        return err;
    }
    AppleEvent event;
    AEBuildError buildError;
    err = AEBuildAppleEvent(kAECoreSuite, kAESetData, typeApplSignature, &gFinderSignature, sizeof(gFinderSignature),
                            kAutoGenerateReturnID, kAnyTransactionID, &event, &buildError,
                            "'----':obj {form:prop,want:type(prop),seld:type(comt),from:(@)},data:(@)", &fileObject,
                            &text);
    if (err == noErr) {
        err = MoreAESendEventNoReturnValue(idleProc, &event);
        MoreAEDisposeDesc(&event);
    }
    MoreAEDisposeDesc(&text);
    MoreAEDisposeDesc(&fileObject);
    return err;
}

}  // namespace corvane
