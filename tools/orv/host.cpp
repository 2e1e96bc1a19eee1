#include "host.hpp"

#include "orvcommon/server/member_table.hpp"

namespace orv::tool {

std::pair<std::string, std::string> splitTarget(const std::string& target) {
    const size_t dot = target.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == target.size())
        throw UsageError("expected NAME.MEMBER, got '" + target + "'");
    return {target.substr(0, dot), target.substr(dot + 1)};
}

ObjectRef createByName(const std::string& name) {
    const Text n = fromUtf8(name);
    if (n.find(u'.') != Text::npos) return server::createObject(n);
    return server::createObject(Text(server::kLibraryName) + u"." + n);
}

nlohmann::ordered_json callOutput(const Variant& result, const std::vector<const Variant*>& args) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const Variant* a : args)
        out.push_back(toJson(*a));
    return nlohmann::ordered_json{{"result", toJson(result)}, {"args", std::move(out)}};
}

const char* const kArgumentHelp =
    "Arguments (ARG):\n"
    "  text               a String (\"C:\\dir\" and \"http://x\" stay text)\n"
    "  TYPE:VALUE         TYPE is str, int (16-bit), long, single, double, cur,\n"
    "                     dec, bool (true/false), byte, or date (YYYY-MM-DD or\n"
    "                     YYYY-MM-DDTHH:MM:SS)\n"
    "  str:TEXT           a String even when TEXT looks like one of these forms\n"
    "  :empty :null :missing\n"
    "                     Empty, Null, or an omitted optional argument\n"
    "  json:VALUE         a typed JSON value (arrays and the rest), e.g.\n"
    "                     json:{\"type\":\"Array\",\"lbound\":[1],\"items\":[\"a\",\"b\"]}\n"
    "  json:[...]         a record (structError) is an array of its fields in\n"
    "                     record order: json:[53,\"text\",1,\"loc\",null,null,null]\n"
    "Arguments are coerced to the declared parameter types as automation does\n"
    "(\"7\" passed to a Long is 7; text that is no number is error 13). For an\n"
    "out-parameter pass :empty: it receives the value in the parameter's type.\n";

const char* const kOutputHelp =
    "Output: one JSON line per call, {\"result\":V,\"args\":[V,...]}, where args\n"
    "holds every argument after the call (by-reference arguments written back).\n"
    "A typed value V is {\"type\":\"String\",\"value\":\"abc\"}; Integer, Long,\n"
    "Single, Double, Byte with numbers, Boolean with true/false; Currency and\n"
    "Decimal as decimal strings; Date as ISO text; {\"type\":\"Empty\"}, \"Null\",\n"
    "\"Missing\"; {\"type\":\"ByteString\",\"hex\":\"00ff41\"};\n"
    "{\"type\":\"Array\",\"lbound\":[1,1],\"items\":[[...],...]} with items[i][j]\n"
    "the element (lbound0+i, lbound1+j); {\"type\":\"ErrInfo\",\"value\":{...}}.\n"
    "As input, plain JSON works too: a string is a String, an integer a Long,\n"
    "a fraction a Double, true/false a Boolean, null a Null, [..] an Array.\n"
    "A call that raises a run-time error prints\n"
    "{\"error\":{\"number\":N,\"description\":\"...\"}} and orv exits 1; a usage\n"
    "error exits 2; otherwise 0, whatever a result object says.\n";

}  // namespace orv::tool
