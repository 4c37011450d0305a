// Corvane's entries in Thunar's custom actions file (uca.xml), merged with the user's own actions and
// taken out again without touching them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

/// One <action>, offered on folders; uniqueId tells it apart from every action the user made.
struct ThunarAction {
    std::string uniqueId;
    std::string name;
    std::string submenu;
    std::string command;  ///< as Thunar runs it with /bin/sh -c after expanding %F
    std::string description;
    std::string icon;
};

/// The uca.xml text that holds actions besides everything of existingXml (none or blank: an empty
/// file): an action with the unique-id of one of them is replaced where it stands (further copies
/// removed), the others are appended. Thunar's own declaration with its attributes in the wrong
/// order is accepted. False with errorText when existingXml is not an <actions> document.
bool MergeThunarActions(const std::optional<std::string>& existingXml, const std::vector<ThunarAction>& actions,
                        std::string& mergedXml, std::string* errorText);

/// The uca.xml text in which each of actions already there under its unique-id is replaced where it
/// stands (further copies removed), and how many were there; none is added. False with errorText when
/// existingXml is not an <actions> document.
bool RefreshThunarActions(const std::string& existingXml, const std::vector<ThunarAction>& actions,
                          std::string& refreshedXml, std::size_t& refreshedCount, std::string* errorText);

/// The uca.xml text without the actions whose unique-id is one of uniqueIds, and how many were taken
/// out; everything else stays. False with errorText when existingXml is not an <actions> document.
bool RemoveThunarActions(const std::string& existingXml, const std::vector<std::string>& uniqueIds,
                         std::string& remainingXml, std::size_t& removedCount, std::string* errorText);

}  // namespace corvane
