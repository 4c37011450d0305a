#include "platform/files/FileSystemFeatures.h"

#include <unordered_map>

namespace corvane {

namespace {

struct Features {
    unsigned withheld = 0;
    std::unordered_map<dev_t, unsigned> lacking;
    std::unordered_map<dev_t, unsigned> dropped;
    std::unordered_map<dev_t, unsigned> told;
};

Features& TheFeatures() {
    static Features features;
    return features;
}

}  // namespace

bool FileSystemHas(dev_t device, FileSystemFeature feature) {
    const Features& features = TheFeatures();
    if ((features.withheld & feature) != 0) {
        return false;
    }
    const auto found = features.lacking.find(device);
    return found == features.lacking.end() || (found->second & feature) == 0;
}

void FileSystemLacks(dev_t device, FileSystemFeature feature) { TheFeatures().lacking[device] |= feature; }

void FileSystemDropped(dev_t device, FileSystemFeature feature) { TheFeatures().dropped[device] |= feature; }

unsigned TakeDroppedFeatures(dev_t device) {
    Features& features = TheFeatures();
    const auto found = features.dropped.find(device);
    if (found == features.dropped.end()) {
        return 0;
    }
    unsigned& told = features.told[device];
    const unsigned untold = found->second & ~told;
    told |= untold;
    return untold;
}

void WithholdFileSystemFeatures(unsigned features) {
    TheFeatures().withheld = features;
    TheFeatures().lacking.clear();
    TheFeatures().dropped.clear();
    TheFeatures().told.clear();
}

}  // namespace corvane
