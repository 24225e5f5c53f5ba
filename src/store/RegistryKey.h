#pragma once
// Access to the agent's own registry values: (key, sub-key, value name) below
// SOFTWARE\<company>\<product>\ under one predefined root. Every value is REG_SZ text.
// Windows builds use the registry (RegistryKeyWin.cpp); host tests link an in-memory
// stand-in with the same header.
#include "fw/CString.h"

enum class RegistryRoot { LocalMachine, CurrentUser };

class CRegistryKey {
public:
    CRegistryKey(const char* company, const char* product);

    void SetRootKey(RegistryRoot root);

    bool SetString(const char* key, const char* subKey, const char* name, const char* text);
    bool SetInt(const char* key, const char* subKey, const char* name, int value);
    // Reads into the caller's buffer; a value that does not fit fails.
    bool GetString(const char* key, const char* subKey, const char* name, char* buffer,
                   unsigned long size);
    bool GetInt(const char* key, const char* subKey, const char* name, int& value);
    // Reads a text value of any length.
    bool GetText(const char* key, const char* subKey, const char* name, CString& text);

    const CString& BasePath() const { return m_basePath; }
    RegistryRoot Root() const { return m_root; }

private:
    bool CanOperate(const char* key, const char* name) const;
    CString FullPath(const char* key, const char* subKey) const;

    RegistryRoot m_root;
    CString m_company;
    CString m_product;
    CString m_basePath;
};
