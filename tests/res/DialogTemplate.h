#pragma once
// Reads a classic dialog template (DLGTEMPLATE with its items) and the dialog init data
// that fills list controls, so tests can compare them with what the code expects.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DialogItem {
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::string className; // predefined classes by name: "Button", "Edit", "Static", ...
    std::string text;      // a resource ordinal reads as "#<number>"
    unsigned extraBytes = 0;
};

struct DialogTemplate {
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string menu;
    std::string className;
    std::string title;
    int pointSize = 0;
    std::string faceName;
    std::vector<DialogItem> items;
};

// False when the data is not a well-formed classic template (an extended one included).
bool ParseDialogTemplate(const void* data, size_t size, DialogTemplate& out);

struct DialogInitRecord {
    int controlId = 0;
    unsigned message = 0;
    std::string text; // without its terminating zero
};

// False when a record runs past the data, a text lacks its zero, or the end mark is missing.
bool ParseDialogInit(const void* data, size_t size, std::vector<DialogInitRecord>& out);
