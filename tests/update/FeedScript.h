#pragma once
// Plays a short script of XML reader events to a sink, so that the feed code can be tested
// and fuzzed without an XML reader. A script looks like XML without its rules:
//   <A:feed X:base=http://a.example/b/>   an element start with its attributes; the letter
//                                          before ":" names the namespace: A Atom, R RDF,
//                                          S RSS 1.0, D Dublin Core, X xml, any other
//                                          urn:other; without a letter, no namespace
//   <link href=x /> or <rss/>              an element without content
//   </ ... >                               the end of the open element, whatever it names
//   text                                   character data as the reader hands it on, that
//                                          is with its references decoded
// An attribute's value runs to the next blank or ">"; "\s" in it stands for a blank, and
// "\l" in text for "<". Playing stops where the sink asks it to.
#include "XmlDocument.h"

#include <string>

inline CString ScriptNamespace(const std::string& name, std::string& local) {
    const size_t colon = name.find(':');
    local = colon == std::string::npos ? name : name.substr(colon + 1);
    if (colon != 1)
        return "";
    switch (name[0]) {
    case 'A':
        return "http://www.w3.org/2005/Atom";
    case 'R':
        return "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
    case 'S':
        return "http://purl.org/rss/1.0/";
    case 'D':
        return "http://purl.org/dc/elements/1.1/";
    case 'X':
        return "http://www.w3.org/XML/1998/namespace";
    default:
        return "urn:other";
    }
}

inline void PlayScript(const std::string& script, CXmlEventSink& sink) {
    size_t at = 0;
    while (at < script.size()) {
        if (script[at] != '<') {
            const size_t tag = script.find('<', at);
            const size_t end = tag == std::string::npos ? script.size() : tag;
            std::string text = script.substr(at, end - at);
            for (size_t escape; (escape = text.find("\\l")) != std::string::npos;)
                text.replace(escape, 2, "<");
            sink.Text(CString(text));
            at = end;
            continue;
        }
        size_t close = script.find('>', at);
        if (close == std::string::npos)
            close = script.size();
        std::string tag = script.substr(at + 1, close - at - 1);
        at = close + 1;
        if (!tag.empty() && tag[0] == '/') {
            sink.EndElement();
            continue;
        }
        const bool empty = !tag.empty() && tag.back() == '/' &&
                           (tag.find(' ') == std::string::npos || tag[tag.size() - 2] == ' ');
        if (empty)
            tag.erase(tag.size() - (tag.find(' ') == std::string::npos ? 1 : 2));
        size_t blank = tag.find(' ');
        std::string local;
        const CString space = ScriptNamespace(tag.substr(0, blank), local);
        while (blank != std::string::npos) {
            const size_t next = tag.find(' ', blank + 1);
            const std::string attribute = tag.substr(blank + 1, next - blank - 1);
            blank = next;
            if (attribute.empty())
                continue;
            const size_t equals = attribute.find('=');
            std::string name;
            const CString attributeSpace = ScriptNamespace(attribute.substr(0, equals), name);
            std::string value = equals == std::string::npos ? "" : attribute.substr(equals + 1);
            for (size_t escape; (escape = value.find("\\s")) != std::string::npos;)
                value.replace(escape, 2, " ");
            sink.Attribute(attributeSpace, CString(name), CString(value));
        }
        if (!sink.StartElement(space, CString(local)))
            return;
        if (empty)
            sink.EndElement();
    }
}
