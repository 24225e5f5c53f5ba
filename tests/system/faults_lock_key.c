// faults_lock_key <lock|unlock> <key under HKEY_CURRENT_USER>
// lock gives the key an empty access list, so nobody may read or write it; unlock gives it
// back full access for everyone. The owner keeps the right to change the list, which is how
// unlock gets in again. Wine's reg tool cannot change a key's access rights.
#include <windows.h>

#include <string.h>

int main(int argc, char** argv) {
    if (argc != 3 || (strcmp(argv[1], "lock") != 0 && strcmp(argv[1], "unlock") != 0))
        return 2;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, argv[2], 0, WRITE_DAC, &key) != ERROR_SUCCESS)
        return 1;
    SECURITY_DESCRIPTOR descriptor;
    ACL empty;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    // A null list grants everything; an empty one grants nothing.
    SetSecurityDescriptorDacl(&descriptor, TRUE, strcmp(argv[1], "lock") == 0 ? &empty : NULL,
                              FALSE);
    LONG status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : 1;
}
