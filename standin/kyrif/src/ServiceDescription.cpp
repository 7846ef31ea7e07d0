// XML descriptions of the two forms of the KyrCmds interface.
#include <string>

#include "Commands.hpp"
#include "kyrif/KyrCmds.hpp"
#include "kyrif/TypeTraits.hpp"

namespace kyrif {

namespace {

const char* argumentType(detail::ArgumentKind kind) {
    switch (kind) {
        case detail::ArgumentKind::Text:
            return "string";
        case detail::ArgumentKind::Method:
            return "kyrif::Method";
        case detail::ArgumentKind::StartProperties:
            return "kyrif::StartProperties";
        case detail::ArgumentKind::None:
            break;
    }
    return nullptr;
}

std::string describe(const char* typeName, const char* resultType) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<interface name=\"KyrCmds\" type=\"";
    xml += typeName;
    xml += "\" library=\"";
    xml += tav::qel::QelTypeTraits<KyrCmds>::libraryName;
    xml += "\">\n";
    for (const auto& command : detail::kCommands) {
        xml += "  <command name=\"";
        xml += command.name;
        xml += "\">\n";
        if (const char* type = argumentType(command.argument)) {
            xml += "    <argument type=\"";
            xml += type;
            xml += "\"/>\n";
        }
        xml += "    <result type=\"";
        xml += resultType;
        xml += "\"/>\n  </command>\n";
    }
    xml += "</interface>\n";
    return xml;
}

}  // namespace

std::string KyrCmds::serviceDescription() {
    static const std::string description = describe(tav::qel::QelTypeTraits<KyrCmds>::name, "string");
    return description;
}

std::string AsyncKyrCmds::serviceDescription() {
    static const std::string description =
        describe(tav::qel::QelTypeTraits<AsyncKyrCmds, false>::name, "future&lt;string&gt;");
    return description;
}

}  // namespace kyrif
