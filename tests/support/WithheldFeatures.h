// Tests run with every optional file-system feature and without each, so the fallbacks run on any disk;
// tests needing FAT's lack of permissions and user attributes take those away themselves.
#pragma once

#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "platform/files/FileSystemFeatures.h"

namespace corvane {

struct Withheld {
    unsigned features;
    const char* name;
};
inline void PrintTo(const Withheld& withheld, std::ostream* out) { *out << withheld.name; }

/// A fixture whose parameter names the features taken away while each test runs.
class WithheldFeaturesTest : public ::testing::TestWithParam<Withheld> {
protected:
    void SetUp() override { WithholdFileSystemFeatures(GetParam().features); }
    void TearDown() override { WithholdFileSystemFeatures(0); }
};

inline std::vector<Withheld> EveryFeatureSetting() {
    return {{0, "AllFeatures"},
            {kUnnamedTemporaries, "NoTmpfile"},
            {kRenameNoReplace, "NoRenameNoReplace"},
            {kCloning, "NoClone"},
            {kKernelCopy, "NoCopyFileRange"},
            {kRenameNoReplace | kHardLinks, "NoRenameNoReplaceNoLinks"},
            {kUnnamedTemporaries | kRenameNoReplace | kCloning | kKernelCopy | kHardLinks | kFolderOverEmpty |
                 kAttributeCallsAt,
             "NoOptionalFeature"}};
}

inline std::string SettingName(const ::testing::TestParamInfo<Withheld>& each) { return each.param.name; }

}  // namespace corvane
