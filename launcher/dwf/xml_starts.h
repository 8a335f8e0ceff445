// The element starts of an XML text, the one thing the package reader needs from an
// XML parser; each platform gives it from its own parser.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace plotwick::internal {

using XmlAttributes = std::map<std::string, std::string>;
using XmlStartHandler = std::function<void(const std::string&, const XmlAttributes&)>;

// Calls `handler` with the local name (the part after any prefix: files write both
// "dwf:href" and "href") and the attributes, also by local name, of every element in
// document order. False when the text is not well-formed XML; `error` then says what
// and where ("... at line N").
bool readXmlStarts(std::string_view xml, const XmlStartHandler& handler, std::string& error);

}  // namespace plotwick::internal
