// A parsed XML document for the report checks: the page is parsed by a real
// XML parser, so a page that is not well-formed fails to load.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace soilcal::testing {

struct XmlNode {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;  // all character data below this node
  std::vector<std::unique_ptr<XmlNode>> children;

  std::string Attribute(const std::string& key) const {
    const auto it = attributes.find(key);
    return it == attributes.end() ? "" : it->second;
  }
  // Every node below this one (depth first) named `name` and, when `cls` is
  // not empty, whose class attribute is `cls`.
  std::vector<const XmlNode*> FindAll(const std::string& name, const std::string& cls = "") const;
};

// Parses `text`; nullptr with `error` set when it is not well-formed.
std::unique_ptr<XmlNode> ParseXml(const std::string& text, std::string& error);

// True when a real parser is built in.
bool XmlParserAvailable();

}  // namespace soilcal::testing
