#include "fileops/DirectoryListing.h"

#include <new>

#include "fileops/ItemTests.h"

namespace corvane {

namespace {

// Fetching a few references per call keeps the iterator's buffer small; the collection grows instead.
constexpr ItemCount kReferencesPerFetch = 10;

}  // namespace

OSErr FSGetDirectoryItems(const FSRef* container, std::vector<FSRef>* collection, ItemCount* count,
                          Boolean* containerChanged) {
    if (collection == nullptr || count == nullptr || containerChanged == nullptr) {
        return paramErr;
    }
    *count = 0;
    *containerChanged = false;
    collection->clear();

    FSIterator iterator = nullptr;
    OSErr result = FSOpenIterator(container, kFSIterateFlat, &iterator);
    if (result != noErr) {
        return result;
    }
    FSRef fetched[kReferencesPerFetch];
    for (;;) {
        ItemCount delivered = 0;
        Boolean changed = false;
        result = FSGetCatalogInfoBulk(iterator, kReferencesPerFetch, &delivered, &changed, kFSCatInfoNone, nullptr,
                                      fetched, nullptr);
        if (changed) {
            *containerChanged = true;
        }
        if (result != noErr && result != errFSNoMoreItems) {
            break;
        }
        try {
            collection->insert(collection->end(), fetched, fetched + delivered);
        } catch (const std::bad_alloc&) {
            result = memFullErr;
            break;
        }
        *count += delivered;
        if (result == errFSNoMoreItems) {
            FSCloseIterator(iterator);
            return noErr;
        }
    }
    FSCloseIterator(iterator);
    collection->clear();
    collection->shrink_to_fit();
    *count = 0;
    return result;
}

std::vector<FSRef> GetDirectoryItemsList(const FSRef* folder) {
    std::vector<FSRef> items;
    ItemCount count = 0;
    Boolean changed = false;
    if (FSGetDirectoryItems(folder, &items, &count, &changed) != noErr) {
        return {};
    }
    return items;
}

std::vector<FSRef> GetDirectoryFilesList(const FSRef* folder) {
    // Filtered where it lies: a folder of a million files would otherwise hold its listing twice.
    std::vector<FSRef> files = GetDirectoryItemsList(folder);
    std::erase_if(files, [](const FSRef& item) { return ItemIsPlainFolder(&item); });
    return files;
}

}  // namespace corvane
