#include "desktop/ThunarActions.h"

#include <pugixml.hpp>

#include <algorithm>
#include <sstream>

#include "platform/base/ConfigurationFile.h"

namespace corvane {

namespace {

// Comments are kept so that a user's notes in the file survive; the declaration is not parsed, which
// is also what lets Thunar's <?xml encoding="UTF-8" version="1.0"?> through.
constexpr unsigned int kParseOptions = pugi::parse_default | pugi::parse_comments;

bool IsBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

bool LoadActions(const std::optional<std::string>& xml, pugi::xml_document& document, std::string* errorText) {
    if (!xml || IsBlank(*xml)) {
        document.append_child("actions");
        return true;
    }
    // The parser's own limits are not this file's business: a file nested without end is refused first.
    if (!XMLNestingWithin(*xml, kConfigurationNestingLimit)) {
        if (errorText != nullptr) {
            *errorText = "its elements nest deeper than " + std::to_string(kConfigurationNestingLimit) + " levels";
        }
        return false;
    }
    const pugi::xml_parse_result parsed = document.load_buffer(xml->data(), xml->size(), kParseOptions);
    if (!parsed) {
        if (errorText != nullptr) {
            *errorText = std::string("it is not readable XML (") + parsed.description() + " at byte " +
                         std::to_string(parsed.offset) + ")";
        }
        return false;
    }
    if (std::string_view(document.document_element().name()) != "actions") {
        if (errorText != nullptr) {
            *errorText = "its root element is not <actions>";
        }
        return false;
    }
    return true;
}

std::string Save(const pugi::xml_document& document) {
    std::ostringstream text;
    text << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    document.save(text, "\t", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
    return text.str();
}

void AddText(pugi::xml_node action, const char* element, const std::string& text) {
    action.append_child(element).text().set(text.c_str());
}

void Fill(pugi::xml_node action, const ThunarAction& from) {
    while (pugi::xml_node child = action.first_child()) {
        action.remove_child(child);
    }
    AddText(action, "icon", from.icon);
    AddText(action, "name", from.name);
    AddText(action, "submenu", from.submenu);
    AddText(action, "unique-id", from.uniqueId);
    AddText(action, "command", from.command);
    AddText(action, "description", from.description);
    AddText(action, "patterns", "*");
    action.append_child("directories");
}

std::vector<pugi::xml_node> ActionsWithId(pugi::xml_node actions, const std::string& uniqueId) {
    std::vector<pugi::xml_node> found;
    for (pugi::xml_node action : actions.children("action")) {
        if (uniqueId == action.child_value("unique-id")) {
            found.push_back(action);
        }
    }
    return found;
}

// Fills each action in where it stands, or appends it when addMissing; how many were there.
std::size_t PlaceActions(pugi::xml_node root, const std::vector<ThunarAction>& actions, bool addMissing) {
    std::size_t found = 0;
    for (const ThunarAction& action : actions) {
        std::vector<pugi::xml_node> present = ActionsWithId(root, action.uniqueId);
        if (present.empty() && !addMissing) {
            continue;
        }
        found += present.empty() ? 0 : 1;
        Fill(present.empty() ? root.append_child("action") : present.front(), action);
        for (std::size_t i = 1; i < present.size(); ++i) {
            root.remove_child(present[i]);
        }
    }
    return found;
}

}  // namespace

bool MergeThunarActions(const std::optional<std::string>& existingXml, const std::vector<ThunarAction>& actions,
                        std::string& mergedXml, std::string* errorText) {
    pugi::xml_document document;
    if (!LoadActions(existingXml, document, errorText)) {
        return false;
    }
    PlaceActions(document.document_element(), actions, true);
    mergedXml = Save(document);
    return true;
}

bool RefreshThunarActions(const std::string& existingXml, const std::vector<ThunarAction>& actions,
                          std::string& refreshedXml, std::size_t& refreshedCount, std::string* errorText) {
    pugi::xml_document document;
    if (!LoadActions(existingXml, document, errorText)) {
        return false;
    }
    refreshedCount = PlaceActions(document.document_element(), actions, false);
    refreshedXml = Save(document);
    return true;
}

bool RemoveThunarActions(const std::string& existingXml, const std::vector<std::string>& uniqueIds,
                         std::string& remainingXml, std::size_t& removedCount, std::string* errorText) {
    pugi::xml_document document;
    if (!LoadActions(existingXml, document, errorText)) {
        return false;
    }
    pugi::xml_node root = document.document_element();
    removedCount = 0;
    for (const std::string& uniqueId : uniqueIds) {
        for (pugi::xml_node action : ActionsWithId(root, uniqueId)) {
            root.remove_child(action);
            ++removedCount;
        }
    }
    remainingXml = Save(document);
    return true;
}

}  // namespace corvane
