/* Adds a certificate to the machine's trusted root store, or removes it again, so that the
 * HTTPS tests can trust a CA made for the run:
 *   zv-trust-root add|remove CERT.der
 * Exit code 0 on success, 1 on failure, 2 on wrong arguments. */
#include <windows.h>

#include <wincrypt.h>

#include <stdio.h>
#include <string.h>

static DWORD ReadWhole(const char* path, BYTE* buffer, DWORD size) {
    FILE* file = fopen(path, "rb");
    if (!file)
        return 0;
    DWORD count = (DWORD)fread(buffer, 1, size, file);
    fclose(file);
    return count < size ? count : 0;
}

static BOOL Remove(HCERTSTORE store, const BYTE* der, DWORD length) {
    PCCERT_CONTEXT wanted = CertCreateCertificateContext(X509_ASN_ENCODING, der, length);
    if (!wanted)
        return FALSE;
    PCCERT_CONTEXT found =
        CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted, NULL);
    CertFreeCertificateContext(wanted);
    /* Deleting also frees the found context. */
    return found && CertDeleteCertificateFromStore(found);
}

int main(int argc, char** argv) {
    static BYTE der[65536];
    if (argc != 3 || (strcmp(argv[1], "add") != 0 && strcmp(argv[1], "remove") != 0))
        return 2;
    DWORD length = ReadWhole(argv[2], der, sizeof der);
    if (!length)
        return 1;
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "ROOT");
    if (!store)
        return 1;
    BOOL done = strcmp(argv[1], "add") == 0
                    ? CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der, length,
                                                       CERT_STORE_ADD_REPLACE_EXISTING, NULL)
                    : Remove(store, der, length);
    CertCloseStore(store, 0);
    return done ? 0 : 1;
}
