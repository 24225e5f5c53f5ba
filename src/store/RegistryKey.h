#pragma once
// Access to the agent's own registry values: (key, sub-key, value name) below
// SOFTWARE\<company>\<product>\ under one predefined root. Every value is REG_SZ text with
// its terminating NUL; numbers are "%d" text. No key stays open between operations: each
// one creates (or opens) its key, does one query or one set, and closes it again. An
// administrator's policy keys are read only: see RegistryAccess.
// Windows builds link zv_registry_win (RegistryKeyWin.cpp); host tests link the in-memory
// stand-in zv_registry_mem, which implements the same primitives.
#include "CString.h"

enum class RegistryRoot { LocalMachine, CurrentUser };

// The agent's own keys are created as needed. Policy keys belong to the administrator: they
// are only read, and only when they exist, and on 64-bit Windows from the 64-bit registry,
// where Group Policy writes them (a 32-bit program is otherwise shown a copy of its own).
enum class RegistryAccess { OwnKeys, PolicyKeys };

class CRegistryKey {
public:
    CRegistryKey(const char* company, const char* product);

    void SetRootKey(RegistryRoot root);
    void SetAccess(RegistryAccess access);

    // Every operation fails, touching nothing, when key or name is null, or when the
    // company or product name is empty. A null or empty sub-key is left out of the path.
    // With policy access every set fails.
    bool SetString(const char* key, const char* subKey, const char* name, const char* text);
    bool SetInt(const char* key, const char* subKey, const char* name, int value);
    // Reads into the caller's buffer; a value that does not fit (with its NUL), or whose
    // type is not REG_SZ, fails and leaves the buffer's content unusable.
    bool GetString(const char* key, const char* subKey, const char* name, char* buffer,
                   unsigned long size);
    // Reads through a 40-byte buffer and scans a decimal number: leading blanks are
    // skipped, trailing text is ignored. Text without a number succeeds and leaves value
    // unchanged; a number outside the int range fails.
    bool GetInt(const char* key, const char* subKey, const char* name, int& value);
    // Reads a REG_SZ value of any length.
    bool GetText(const char* key, const char* subKey, const char* name, CString& text);

private:
    bool CanOperate(const char* key, const char* name) const;
    bool CanWrite(const char* key, const char* name) const;
    CString FullPath(const char* key, const char* subKey) const;

    // Platform primitives, one per backend. Each creates (or opens) the key at path under
    // the root, with write access only for WriteValue, and closes it before returning; with
    // policy access a read opens only an existing key.
    bool WriteValue(const CString& path, const char* name, const char* text) const;
    bool ReadValue(const CString& path, const char* name, char* buffer, unsigned long size) const;
    bool ReadValue(const CString& path, const char* name, CString& text) const;

    RegistryRoot m_root;
    RegistryAccess m_access = RegistryAccess::OwnKeys;
    CString m_company;
    CString m_product;
    CString m_basePath;
};
