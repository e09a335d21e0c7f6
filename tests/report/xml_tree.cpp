#include "xml_tree.hpp"

#ifdef SOILCAL_HAVE_EXPAT
#include <expat.h>
#endif

namespace soilcal::testing {

void CollectAll(const XmlNode& node, const std::string& name, const std::string& cls,
                std::vector<const XmlNode*>& out) {
  for (const auto& child : node.children) {
    if (child->name == name && (cls.empty() || child->Attribute("class") == cls)) {
      out.push_back(child.get());
    }
    CollectAll(*child, name, cls, out);
  }
}

std::vector<const XmlNode*> XmlNode::FindAll(const std::string& name, const std::string& cls) const {
  std::vector<const XmlNode*> out;
  CollectAll(*this, name, cls, out);
  return out;
}

#ifdef SOILCAL_HAVE_EXPAT

namespace {

struct Builder {
  std::unique_ptr<XmlNode> root = std::make_unique<XmlNode>();
  std::vector<XmlNode*> open{root.get()};
};

// Names come as "namespace-uri|local" with the separator below; keep the
// local part.
std::string Local(const XML_Char* name) {
  std::string s = name;
  const auto bar = s.rfind('|');
  return bar == std::string::npos ? s : s.substr(bar + 1);
}

void Start(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* b = static_cast<Builder*>(data);
  auto node = std::make_unique<XmlNode>();
  node->name = Local(name);
  for (int i = 0; attributes[i] != nullptr; i += 2) node->attributes[Local(attributes[i])] = attributes[i + 1];
  XmlNode* raw = node.get();
  b->open.back()->children.push_back(std::move(node));
  b->open.push_back(raw);
}

void End(void* data, const XML_Char*) { static_cast<Builder*>(data)->open.pop_back(); }

void Text(void* data, const XML_Char* s, int len) {
  for (XmlNode* n : static_cast<Builder*>(data)->open) n->text.append(s, static_cast<std::size_t>(len));
}

}  // namespace

bool XmlParserAvailable() { return true; }

std::unique_ptr<XmlNode> ParseXml(const std::string& text, std::string& error) {
  XML_Parser parser = XML_ParserCreateNS("UTF-8", '|');
  Builder builder;
  XML_SetUserData(parser, &builder);
  XML_SetElementHandler(parser, Start, End);
  XML_SetCharacterDataHandler(parser, Text);
  const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
  if (!ok) {
    error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
            std::to_string(XML_GetCurrentLineNumber(parser));
  }
  XML_ParserFree(parser);
  if (!ok) return nullptr;
  return std::move(builder.root);
}

#else

bool XmlParserAvailable() { return false; }
std::unique_ptr<XmlNode> ParseXml(const std::string&, std::string& error) {
  error = "no XML parser built in";
  return nullptr;
}

#endif

}  // namespace soilcal::testing
