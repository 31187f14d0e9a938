/* libcrypto32 sha256|sha512 FILE: the digest of FILE by OpenSSL's libcrypto,
   read in 64 KiB freads: the peer that scripts/bench.sh times beside our
   engines, both built as 32-bit x86 programs. */
#include <stdio.h>
#include <string.h>

#include <openssl/evp.h>

int main(int argc, char* argv[])
{
    static unsigned char buffer[65536];
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (argc < 3) {
        return 2;
    }
    FILE* file = fopen(argv[2], "rb");
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (file == NULL || context == NULL
        || EVP_DigestInit_ex(context, strcmp(argv[1], "sha512") == 0 ? EVP_sha512() : EVP_sha256(),
                             NULL)
               != 1) {
        return 1;
    }
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) {
        EVP_DigestUpdate(context, buffer, n);
    }
    EVP_DigestFinal_ex(context, md, &length);
    printf("%s ", argv[1]);
    for (unsigned int i = 0; i < length; ++i) {
        printf("%02x", md[i]);
    }
    printf("\n");
    fclose(file);
    EVP_MD_CTX_free(context);
    return 0;
}
