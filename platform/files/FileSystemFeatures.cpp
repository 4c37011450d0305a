#include "platform/files/FileSystemFeatures.h"

#include <unordered_map>

namespace {

struct Features {
    unsigned withheld = 0;
    std::unordered_map<dev_t, unsigned> lacking;
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

void WithholdFileSystemFeatures(unsigned features) {
    TheFeatures().withheld = features;
    TheFeatures().lacking.clear();
}
